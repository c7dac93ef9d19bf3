// State rules of the sprite image button.
#include "ui/img_btn_ex.h"

namespace ui {

const TPicture& TImgBtnEx::StatePicture(int set, int state) const { return pics_[set][state]; }

void TImgBtnEx::Slice(int set, const TPicture& strip) {
  auto& p = pics_[set];
  SplitSprite(strip, PicSplitNum, PicAlpha, {&p[kNormal], &p[kHover], &p[kDown], &p[kDisabled]});
}

void TImgBtnEx::EnsureSlices() {
  if (!Pic(kNormal).Empty()) return;
  Slice(imgStatus_, imgStatus_ == 0 ? picMultiStatus_ : picNewStatus_);
}

void TImgBtnEx::SetPicMultiStatus(const TPicture& strip) {
  picMultiStatus_ = strip;
  imgStatus_ = 0;
  Slice(0, strip);
  if (!strip.Empty()) ShowPicture(Pic(kNormal));
}

void TImgBtnEx::SetPicNewStatus(const TPicture& strip) {
  picNewStatus_ = strip;
  imgStatus_ = 1;
  Slice(1, strip);
  if (!strip.Empty()) ShowPicture(Pic(kNormal));
}

void TImgBtnEx::MouseEnter() {
  if (!Enabled() || downStatus_) return;
  entered_ = true;
  EnsureSlices();
  if (!Pic(kNormal).Empty()) ShowPicture(Pic(down_ ? kDown : kHover));
  if (OnMouseEnter) OnMouseEnter(*this, {kMsgMouseEnter, 0, 0, 0});
}

void TImgBtnEx::MouseLeave() {
  if (!Enabled() || downStatus_) return;
  entered_ = false;
  if (!Pic(kNormal).Empty()) ShowPicture(Pic(kNormal));
  if (OnMouseLeave) OnMouseLeave(*this, {kMsgMouseLeave, 0, 0, 0});
}

void TImgBtnEx::MouseDown(TMouseButton button, int x, int y) {
  if (button != TMouseButton::mbLeft || !Enabled()) return;
  down_ = true;
  if (entered_ && !Pic(kDown).Empty()) ShowPicture(Pic(kDown));
  if (OnMouseDown) OnMouseDown(*this, {kMsgLButtonDown, 1, x, y});
}

void TImgBtnEx::MouseUp(TMouseButton button, int x, int y) {
  if (button != TMouseButton::mbLeft || !Enabled() || downStatus_) return;
  down_ = false;
  if (entered_ && !Pic(kHover).Empty()) ShowPicture(Pic(kHover));
  if (OnMouseUp) OnMouseUp(*this, {kMsgLButtonUp, 0, x, y});
}

void TImgBtnEx::SetEnabled(bool enabled) {
  EnsureSlices();
  if (!Pic(kNormal).Empty()) ShowPicture(enabled || Pic(kDisabled).Empty() ? Pic(kNormal) : Pic(kDisabled));
  down_ = false;
  entered_ = false;
  TImage::SetEnabled(enabled);
}

void TImgBtnEx::SetNewStatus(bool value) {
  newStatus_ = value;
  imgStatus_ = value ? 1 : 0;
  EnsureSlices();
  if (!Pic(kNormal).Empty()) ShowPicture(Pic(downStatus_ ? kDown : kNormal));
}

void TImgBtnEx::SetDownStatus(bool value) {
  downStatus_ = value;
  if (Pic(kNormal).Empty()) return;
  entered_ = false;
  if (value) {
    down_ = true;
    ShowPicture(Pic(kDown));
  } else {
    ShowPicture(Pic(kNormal));
  }
}

}  // namespace ui
