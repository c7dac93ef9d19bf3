// An image whose picture follows the pointer: normal, hover, pressed and disabled pictures cut
// from a sprite strip, with a second strip for the "new" badge set. Used as the close button.
#pragma once

#include <array>
#include <cstdint>

#include "ui/controls.h"
#include "ui/sprite.h"

namespace ui {

class TImgBtnEx;

// The raw mouse message a handler receives.
struct TMouseMessage {
  std::uint32_t msg = 0;  // WM_LBUTTONDOWN, WM_LBUTTONUP, or the enter/leave notification
  std::uint32_t keys = 0;
  int x = 0;
  int y = 0;
};
inline constexpr std::uint32_t kMsgMouseEnter = 0xB013;
inline constexpr std::uint32_t kMsgMouseLeave = 0xB014;
inline constexpr std::uint32_t kMsgLButtonDown = 0x0201;
inline constexpr std::uint32_t kMsgLButtonUp = 0x0202;

using TOnMouseEvent = std::function<void(TImgBtnEx& sender, const TMouseMessage& message)>;

class TImgBtnEx : public TImage {
 public:
  explicit TImgBtnEx(std::wstring name) : TImage(std::move(name), L"TImgBtnEx") { hasCaption_ = true; }

  // These handlers replace the plain control's mouse events of the same names.
  TOnMouseEvent OnMouseEnter;
  TOnMouseEvent OnMouseLeave;
  TOnMouseEvent OnMouseDown;
  TOnMouseEvent OnMouseUp;

  void SetPicMultiStatus(const TPicture& strip);
  void SetPicNewStatus(const TPicture& strip);
  int PicSplitNum = 4;  // takes effect at the next slicing
  TAlphaType PicAlpha = TAlphaType::atAuto;
  bool NewStatus() const { return newStatus_; }
  void SetNewStatus(bool value);
  bool DownStatus() const { return downStatus_; }
  void SetDownStatus(bool value);
  void SetEnabled(bool enabled) override;

  int ImgStatus() const { return imgStatus_; }
  bool Entered() const { return entered_; }
  bool Down() const { return down_; }
  const TPicture& StatePicture(int set, int state) const;  // state: 0 normal, 1 hover, 2 pressed, 3 disabled

  void MouseEnter() override;
  void MouseLeave() override;
  void MouseDown(TMouseButton button, int x, int y) override;
  void MouseUp(TMouseButton button, int x, int y) override;

 private:
  enum { kNormal, kHover, kDown, kDisabled };
  TPicture& Pic(int state) { return pics_[imgStatus_][state]; }
  void Slice(int set, const TPicture& strip);
  void EnsureSlices();

  bool entered_ = false;
  bool down_ = false;
  std::array<std::array<TPicture, 4>, 2> pics_;  // [set][state]
  TPicture picMultiStatus_;
  TPicture picNewStatus_;
  bool newStatus_ = false;
  bool downStatus_ = false;
  int imgStatus_ = 0;
};

}  // namespace ui
