// PNG decoding with GDI+, and the native bitmaps that painting draws from.
#include <shlwapi.h>

#include <memory>

#include "common/strings.h"
#include "system/resources.h"
#include "system/win_handle.h"
#include "ui/controls.h"
#include "ui/gdiplus_win.h"
#include "ui/png.h"
#include "ui/skin.h"

namespace ui {

namespace {

class GdiplusSession {
 public:
  GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
  }
  ~GdiplusSession() { Gdiplus::GdiplusShutdown(token_); }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

 private:
  ULONG_PTR token_ = 0;
};

}  // namespace

void EnsureGdiplus() { static GdiplusSession session; }

TPicture DecodePng(std::span<const std::uint8_t> bytes) {
  const std::optional<TPngInfo> info = ReadPngInfo(bytes);
  if (!info) common::RaiseError(L"Invalid PNG image");
  EnsureGdiplus();
  const sys::win::Com<IStream> stream(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
  if (!stream) common::RaiseError(L"Out of memory reading a PNG image");
  Gdiplus::Bitmap bitmap(stream.Get());
  const int w = static_cast<int>(bitmap.GetWidth());
  const int h = static_cast<int>(bitmap.GetHeight());
  Gdiplus::Rect all(0, 0, w, h);
  Gdiplus::BitmapData data{};
  if (bitmap.GetLastStatus() != Gdiplus::Ok || w <= 0 || h <= 0 ||
      bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) {
    common::RaiseError(L"Invalid PNG image");
  }
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    const auto* row = static_cast<const std::uint8_t*>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride;
    std::uint8_t* out = &rgba[static_cast<std::size_t>(y) * w * 4];
    for (int x = 0; x < w; ++x, row += 4, out += 4) {
      out[0] = row[2];
      out[1] = row[1];
      out[2] = row[0];
      out[3] = row[3];
    }
  }
  bitmap.UnlockBits(&data);
  return TPicture::FromRgba(w, h, std::move(rgba), info->colorType, info->hasAlpha);
}

Gdiplus::Bitmap* NativeBitmap(const TPicture& picture) {
  const TBitmapData* source = picture.Data();
  if (!source) return nullptr;
  if (source->native) return static_cast<Gdiplus::Bitmap*>(source->native.get());
  EnsureGdiplus();
  auto bitmap = std::make_shared<Gdiplus::Bitmap>(source->width, source->height, PixelFormat32bppPARGB);
  Gdiplus::Rect all(0, 0, source->width, source->height);
  Gdiplus::BitmapData data{};
  if (bitmap->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &data) != Gdiplus::Ok) return nullptr;
  for (int y = 0; y < source->height; ++y) {
    auto* row = static_cast<std::uint8_t*>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride;
    const std::uint8_t* in = &source->rgba[static_cast<std::size_t>(y) * source->width * 4];
    for (int x = 0; x < source->width; ++x, row += 4, in += 4) {
      const unsigned a = in[3];
      row[0] = static_cast<std::uint8_t>((in[2] * a + 127) / 255);
      row[1] = static_cast<std::uint8_t>((in[1] * a + 127) / 255);
      row[2] = static_cast<std::uint8_t>((in[0] * a + 127) / 255);
      row[3] = static_cast<std::uint8_t>(a);
    }
  }
  bitmap->UnlockBits(&data);
  source->native = bitmap;
  return bitmap.get();
}

void LoadPngResourceToPicture(TPicture& picture, std::wstring_view name, std::wstring_view type) {
  if (!sys::ResourceExists(name, type)) common::RaiseError(L"Resource " + std::wstring(name) + L" not found");
  picture = DecodePng(sys::LoadResourceBytes(name, type));
}

void LoadPngResourceToImage(TImage& image, std::wstring_view name, std::wstring_view type) {
  TPicture picture;
  LoadPngResourceToPicture(picture, name, type);
  image.SetPicture(picture);
}

TSkinSource ResourceSkins() {
  return {[](std::wstring_view name) {
            return sys::ResourceExists(name, kProductSkinType) || sys::ResourceExists(name, kOwnPictureType);
          },
          [](std::wstring_view name) {
            TPicture picture;
            LoadPngResourceToPicture(picture, name,
                                     sys::ResourceExists(name, kProductSkinType) ? kProductSkinType : kOwnPictureType);
            return picture;
          }};
}

}  // namespace ui
