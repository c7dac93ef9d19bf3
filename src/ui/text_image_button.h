// A captioned button that draws the picture of its state (normal, hover, pressed, disabled) and a
// centred caption, optionally with a small icon at its left.
#pragma once

#include "ui/controls.h"
#include "ui/sprite.h"

namespace ui {

class TTextImageButton : public TControl {
 public:
  explicit TTextImageButton(std::wstring name);

  TFont Font;
  TColor DisableFontColor = clGrayText;
  bool AutoSize = false;
  int PicSplitNum = 4;  // takes effect at the next slicing
  TAlphaType PicAlpha = TAlphaType::atAuto;

  const TPicture& Bitmap() const { return bmp_; }
  const TPicture& BitmapOver() const { return over_; }
  const TPicture& BitmapDown() const { return down_; }
  const TPicture& BitmapDisabled() const { return disabled_; }
  const TPicture& SmallIcon() const { return smallIcon_; }
  // The picture on display.
  const TPicture& ActualBitmap() const { return actual_; }
  void SetBitmap(const TPicture& picture);
  void SetBitmapOver(const TPicture& picture);
  void SetBitmapDown(const TPicture& picture);
  void SetBitmapDisabled(const TPicture& picture);
  void SetSmallIcon(const TPicture& picture);
  void SetPicMultiStatus(const TPicture& strip);
  bool DownStatus() const { return downStatus_; }
  void SetDownStatus(bool value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool value);
  void SetFontColor(TColor color);

  bool HasFont() const override { return true; }
  void SetFontName(const std::wstring& name) override { Font.name = name; }

  void MouseEnter() override;
  void MouseLeave() override;
  void MouseDown(TMouseButton button, int x, int y) override;
  void MouseUp(TMouseButton button, int x, int y) override;
  void Click() override;
  void Paint(ICanvas& canvas) override;

 private:
  void Show(const TPicture& picture);
  void PictureChanged();

  TPicture over_, down_, bmp_, disabled_, multiStatus_, actual_, smallIcon_;
  bool stretch_ = false;
  bool proportional_ = false;
  bool drawing_ = false;
  bool downStatus_ = false;
  bool clearBrush_ = false;  // once a caption was drawn, fills leave the background alone
};

}  // namespace ui
