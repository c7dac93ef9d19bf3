// Windows build: the start of an image is read with the system's file calls (the C++ streams
// would add most of a megabyte to the installer), and a resource leaves an executable file through
// the resource update calls. The file
// is rewritten with all its other resources (deleting one entry of an update that keeps the
// existing ones does not work under Wine, which reads them back at the end).
#include <windows.h>

#include <cwctype>
#include <vector>

#include "system/uninstaller_copy.h"
#include "system/win_handle.h"

namespace sys {
namespace {

// A resource type or name as the enumeration gives it: a number or a text.
class ResourceId {
 public:
  explicit ResourceId(LPCWSTR value) {
    if (IS_INTRESOURCE(value)) {
      number_ = LOWORD(reinterpret_cast<ULONG_PTR>(value));
    } else {
      text_ = value;
    }
  }
  LPCWSTR Get() const { return text_.empty() ? MAKEINTRESOURCEW(number_) : text_.c_str(); }
  bool Is(std::wstring_view text) const {
    if (text_.size() != text.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (std::towupper(text_[i]) != std::towupper(text[i])) return false;
    }
    return true;
  }

 private:
  std::wstring text_;
  WORD number_ = 0;
};

struct Resource {
  ResourceId type;
  ResourceId name;
  WORD language;
  std::vector<BYTE> bytes;
};

struct Walk {
  std::vector<Resource> kept;
  std::wstring_view droppedName;
  std::wstring_view droppedType;
  bool dropped = false;
};

BOOL CALLBACK OnLanguage(HMODULE image, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR context) {
  auto& walk = *reinterpret_cast<Walk*>(context);
  Resource resource{ResourceId(type), ResourceId(name), language, {}};
  if (resource.type.Is(walk.droppedType) && resource.name.Is(walk.droppedName)) {
    walk.dropped = true;
    return TRUE;
  }
  const HRSRC info = FindResourceExW(image, type, name, language);
  const HGLOBAL loaded = info ? LoadResource(image, info) : nullptr;
  const auto* data = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
  if (data) resource.bytes.assign(data, data + SizeofResource(image, info));
  walk.kept.push_back(std::move(resource));
  return TRUE;
}

BOOL CALLBACK OnName(HMODULE image, LPCWSTR type, LPWSTR name, LONG_PTR context) {
  EnumResourceLanguagesW(image, type, name, OnLanguage, context);
  return TRUE;
}

BOOL CALLBACK OnType(HMODULE image, LPWSTR type, LONG_PTR context) {
  EnumResourceNamesW(image, type, OnName, context);
  return TRUE;
}

}  // namespace

std::vector<std::uint8_t> ReadImageStart(const std::wstring& path) {
  const win::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::vector<std::uint8_t> bytes(kImageStartBytes);
  DWORD got = 0;
  if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) return {};
  bytes.resize(got);
  return bytes;
}

bool RemoveFileResource(const std::wstring& path, std::wstring_view name, std::wstring_view type) {
  Walk walk{{}, name, type};
  {
    // Read as data only: nothing of the file runs, and the mapping is gone before the update.
    const win::Library image(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!image) return false;
    EnumResourceTypesW(image.Get(), OnType, reinterpret_cast<LONG_PTR>(&walk));
  }
  if (!walk.dropped) return false;
  HANDLE update = BeginUpdateResourceW(path.c_str(), TRUE);
  if (!update) return false;
  bool written = true;
  for (Resource& resource : walk.kept) {
    written = written && UpdateResourceW(update, resource.type.Get(), resource.name.Get(), resource.language,
                                         resource.bytes.data(), static_cast<DWORD>(resource.bytes.size()));
  }
  // Every change is discarded unless all went in; EndUpdateResourceW releases the handle.
  return EndUpdateResourceW(update, written ? FALSE : TRUE) && written;
}

}  // namespace sys
