// Where the skinned windows get their pictures: PNG resources in the Windows build, any other
// store (files, memory) in tests. The program carries a picture of its own for every picture of
// its windows (resources/pictures.json lists them with their sizes); a product's skin of the same
// name takes its place.
#pragma once

#include <functional>
#include <string_view>

#include "ui/picture.h"

namespace ui {

struct TSkinSource {
  std::function<bool(std::wstring_view name)> exists;
  // Raises common::EGeneralError "Resource <name> not found" when the picture is missing.
  std::function<TPicture(std::wstring_view name)> load;

  // The picture when it exists, otherwise an empty one.
  TPicture LoadIfExists(std::wstring_view name) const { return exists(name) ? load(name) : TPicture(); }
};

// Resource types: the product's skins, and the program's own pictures.
inline constexpr wchar_t kProductSkinType[] = L"FILE";
inline constexpr wchar_t kOwnPictureType[] = L"PICTURE";

// The program's PNG resources (Windows build): the product's skin of that name when there is one,
// otherwise the program's own picture.
TSkinSource ResourceSkins();

// Pictures of the windows' designed look, which products rarely replace.
namespace design {
inline constexpr std::wstring_view kCloseButton = L"closebtn";   // 40 x 28 grey cross
inline constexpr std::wstring_view kCloseStrip = L"closestrip";  // 160 x 28: normal, hover, pressed, disabled
inline constexpr std::wstring_view kEdgeLine = L"edgeline";      // 9 x 9, stretched into edge lines
inline constexpr std::wstring_view kBottomLine = L"bottomline";  // 90 x 27
inline constexpr std::wstring_view kSeparator = L"sepline";    // 800 x 8
inline constexpr std::wstring_view kArrowDown = L"arrowdown";    // 18 x 18
inline constexpr std::wstring_view kArrowUp = L"arrowup";        // 18 x 18
inline constexpr std::wstring_view kSuccess = L"success";        // 36 x 36
inline constexpr std::wstring_view kChangeNormal = L"btnchange01";  // 77 x 26 white rounded button
inline constexpr std::wstring_view kChangeOver = L"btnchange02";
inline constexpr std::wstring_view kChangeDown = L"btnchange03";
}  // namespace design

}  // namespace ui
