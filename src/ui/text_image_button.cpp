// State rules and painting of the captioned image button.
#include "ui/text_image_button.h"

namespace ui {

TTextImageButton::TTextImageButton(std::wstring name) : TControl(L"TTextImageButton", std::move(name)) {
  hasCaption_ = true;
  SetBounds(0, 0, 75, 25);
}

void TTextImageButton::Show(const TPicture& picture) {
  actual_ = picture;
  Invalidate();
}

void TTextImageButton::SetBitmap(const TPicture& picture) {
  bmp_ = picture;
  actual_ = picture;
  SetBounds(Left(), Top(), picture.Width(), picture.Height());
}

void TTextImageButton::SetBitmapOver(const TPicture& picture) {
  over_ = picture;
  Invalidate();
}

void TTextImageButton::SetBitmapDown(const TPicture& picture) {
  down_ = picture;
  Invalidate();
}

void TTextImageButton::SetBitmapDisabled(const TPicture& picture) {
  disabled_ = picture;
  Invalidate();
}

void TTextImageButton::SetSmallIcon(const TPicture& picture) {
  smallIcon_ = picture;
  Invalidate();
}

void TTextImageButton::SetPicMultiStatus(const TPicture& strip) {
  multiStatus_ = strip;
  SplitSprite(strip, PicSplitNum, PicAlpha, {&bmp_, &over_, &down_, &disabled_});
  Show(bmp_);
}

void TTextImageButton::SetDownStatus(bool value) {
  downStatus_ = value;
  Show(value ? down_ : bmp_);
}

void TTextImageButton::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  PictureChanged();
}

void TTextImageButton::SetProportional(bool value) {
  proportional_ = value;
  PictureChanged();
}

void TTextImageButton::PictureChanged() {
  if (AutoSize && actual_.Width() > 0 && actual_.Height() > 0) {
    SetBounds(Left(), Top(), actual_.Width(), actual_.Height());
  }
  if (!drawing_) Invalidate();
}

void TTextImageButton::SetFontColor(TColor color) {
  Font.color = color;
  Invalidate();
}

void TTextImageButton::MouseEnter() {
  if (!Enabled()) return;
  TControl::MouseEnter();
  if (!over_.Empty()) Show(downStatus_ ? down_ : over_);
}

void TTextImageButton::MouseLeave() {
  if (!Enabled()) return;
  TControl::MouseLeave();
  if (!bmp_.Empty()) Show(downStatus_ ? down_ : bmp_);
}

void TTextImageButton::MouseDown(TMouseButton button, int x, int y) {
  if (button != TMouseButton::mbLeft || !Enabled()) return;
  TControl::MouseDown(button, x, y);
  if (!down_.Empty()) Show(down_);
}

void TTextImageButton::MouseUp(TMouseButton button, int x, int y) {
  if (button != TMouseButton::mbLeft || !Enabled()) return;
  TControl::MouseUp(button, x, y);
  if (!over_.Empty()) Show(downStatus_ ? down_ : over_);
}

void TTextImageButton::Click() {
  Invalidate();
  if (Enabled()) TControl::Click();
}

void TTextImageButton::Paint(ICanvas& canvas) {
  if (actual_.Empty()) actual_ = bmp_;
  if (!clearBrush_) canvas.FillRect(ClientRect(), clBtnFace);
  drawing_ = true;
  if (Enabled() || disabled_.Empty()) {
    const TPicture& picture = downStatus_ ? down_ : actual_;
    const TRect target =
        TargetRect({actual_.Width(), actual_.Height()}, {Width(), Height()}, stretch_, proportional_);
    if (!picture.Empty()) canvas.DrawPicture(picture, target);
    if (!smallIcon_.Empty()) {
      const int top = SmallIconTop(actual_.Height(), smallIcon_.Height());
      canvas.DrawPicture(smallIcon_, {kSmallIconLeft, top, kSmallIconLeft + smallIcon_.Width(), top + smallIcon_.Height()});
    }
  } else {
    if (Width() != disabled_.Width() || Height() != disabled_.Height()) {
      SetBounds(Left(), Top(), disabled_.Width(), disabled_.Height());
    }
    canvas.DrawPicture(disabled_, {0, 0, disabled_.Width(), disabled_.Height()});
  }
  TFont font = Font;
  if (!Enabled()) font.color = DisableFontColor;
  if (!caption_.empty()) {
    const TSize text = canvas.MeasureText(caption_, font);
    const TRect rect = CaptionRect({Width(), Height()}, text, smallIcon_.Empty() ? 0 : smallIcon_.Width());
    clearBrush_ = true;
    canvas.PaintText(caption_, rect, font, {TAlignment::taCenter, true, false, false});
  }
  drawing_ = false;
}

}  // namespace ui
