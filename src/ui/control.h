// The windowless widget set: components owned by their form in creation order, controls arranged
// in a tree whose later children lie above earlier ones. The form dispatches the pointer (hover,
// capture, clicks) and paints the whole tree through an ICanvas; a platform peer (the Win32 window
// of form_window_win.cpp, or a test double) supplies invalidation, moving and closing.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/canvas.h"

namespace ui {

class TControl;
class TEdit;
class TForm;
class TTimer;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum class TAlign { alNone, alTop, alBottom, alRight };
enum class TCursor { crDefault, crHandPoint };

using TNotifyEvent = std::function<void(TControl& sender)>;
using TMouseEvent = std::function<void(TControl& sender, TMouseButton button, int x, int y)>;

// What a form needs from the window that shows it.
class IFormPeer {
 public:
  virtual ~IFormPeer() = default;
  virtual void Invalidate() = 0;
  virtual void ClientSizeChanged() = 0;
  virtual void CaptionChanged() = 0;
  // Let the system move the window with the pointer until the button is released.
  virtual void BeginMove() = 0;
  // Close the window; a modal form's loop ends with its modal result.
  virtual void Close() = 0;
  virtual void ModalResultChanged() = 0;
  virtual void TimerChanged(TTimer& timer) = 0;
};

class TComponent {
 public:
  TComponent(std::wstring className, std::wstring name) : className_(std::move(className)), name_(std::move(name)) {}
  virtual ~TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::wstring& ClassName() const { return className_; }
  const std::wstring& Name() const { return name_; }
  TForm* Owner() const { return owner_; }

  // Published string properties by name ("Caption", "Text", "Hint", ...); false when the class
  // has no such property.
  virtual bool SetStringProperty(std::wstring_view, const std::wstring&) { return false; }
  virtual bool HasFont() const { return false; }
  virtual void SetFontName(const std::wstring&) {}
  // List-like properties: column titles, status-bar panels, combo-box items. Classes without
  // them ignore the calls.
  virtual void SetColumnCaption(int, const std::wstring&) {}
  virtual void SetPanelText(int, const std::wstring&) {}
  virtual void SetItems(const std::vector<std::wstring>&) {}

  // The component as a control, a form, an edit box or a timer; null when it is not one. The
  // widget set tells its kinds apart itself: the program is built without run-time type
  // information, whose names and records would take a few percent of the installer.
  virtual TControl* AsControl() { return nullptr; }
  virtual TForm* AsForm() { return nullptr; }
  virtual TEdit* AsEdit() { return nullptr; }
  virtual TTimer* AsTimer() { return nullptr; }

 private:
  friend class TForm;
  std::wstring className_;
  std::wstring name_;
  TForm* owner_ = nullptr;
};

class TControl : public TComponent {
 public:
  TControl(std::wstring className, std::wstring name) : TComponent(std::move(className), std::move(name)) {}

  TControl* Parent() const { return parent_; }
  const std::vector<TControl*>& Children() const { return children_; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  TRect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
  TRect ClientRect() const { return {0, 0, width_, height_}; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
  void SetTop(int top) { SetBounds(left_, top, width_, height_); }
  void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
  void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
  // Top-left corner in the form's client coordinates.
  TPoint OriginInForm() const;

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Visible itself and every parent up to the form.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  TCursor Cursor = TCursor::crDefault;
  std::wstring Hint;

  const std::wstring& Caption() const { return caption_; }
  void SetCaption(const std::wstring& caption);

  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnClick;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void Invalidate();
  // The form this control belongs to (the form itself for a form).
  TForm* Form() const;

  bool SetStringProperty(std::wstring_view property, const std::wstring& value) override;
  TControl* AsControl() override { return this; }

  // Called by the form. Coordinates are relative to the control.
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void MouseDown(TMouseButton button, int x, int y);
  virtual void MouseUp(TMouseButton button, int x, int y);
  virtual void Click();
  // Sizes that follow the content (auto-sized labels) are settled here before painting.
  virtual void AdjustBounds(ICanvas&) {}
  virtual void Paint(ICanvas&) {}
  // Whether a press at (x, y), relative to the control, hits it.
  virtual bool HitTest(int x, int y) const { return ClientRect().Contains(x, y); }

 protected:
  virtual void CaptionChanged() { Invalidate(); }
  // Lays out the aligned children in the control's client area.
  void Realign();

  bool hasCaption_ = false;  // Caption is a published property of the class
  std::wstring caption_;

 private:
  friend class TForm;
  TControl* parent_ = nullptr;
  std::vector<TControl*> children_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true;
  bool enabled_ = true;
};

// A non-visual component that fires every Interval milliseconds while enabled.
class TTimer : public TComponent {
 public:
  explicit TTimer(std::wstring name) : TComponent(L"TTimer", std::move(name)) {}
  unsigned Interval() const { return interval_; }
  bool Enabled() const { return enabled_; }
  void SetInterval(unsigned ms);
  void SetEnabled(bool enabled);
  std::function<void(TTimer&)> OnTimer;
  void Fire() {
    if (enabled_ && OnTimer) OnTimer(*this);
  }
  TTimer* AsTimer() override { return this; }

 private:
  unsigned interval_ = 1000;
  bool enabled_ = true;
};

// The top-level control: owns every component, dispatches the pointer, paints the tree.
class TForm : public TControl {
 public:
  explicit TForm(std::wstring className, std::wstring name = L"");
  ~TForm() override;
  TForm* AsForm() override { return this; }

  // Creates a component owned by this form; controls go on top of parent's children.
  template <class T, class... Args>
  T* Create(TControl* parent, Args&&... args) {
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = owned.get();
    Adopt(std::move(owned), parent);
    return raw;
  }
  const std::vector<std::unique_ptr<TComponent>>& Components() const { return components_; }
  // The owned component of that name, compared without regard to case; null when none.
  TComponent* FindComponent(std::wstring_view name) const;

  TColor Color = clWhite;
  TFont Font{L"Arial", 12, clWindowText};

  void SetClientSize(int width, int height);
  void SetClientHeight(int height) { SetClientSize(Width(), height); }

  void SetPeer(IFormPeer* peer) { peer_ = peer; }
  IFormPeer* Peer() const { return peer_; }

  // Pointer input in client coordinates.
  void DispatchMouseMove(int x, int y);
  void DispatchMouseDown(TMouseButton button, int x, int y);
  void DispatchMouseUp(TMouseButton button, int x, int y);
  void DispatchMouseLeaveWindow();
  // Forgets the pressed control (the system took over the pointer, e.g. to move the window).
  void ReleaseMouseCapture() { captured_ = nullptr; }
  // The topmost showing, enabled control at (x, y), or the form itself.
  TControl* ControlAt(int x, int y);
  TControl* Hovered() const { return hovered_; }

  // Key presses seen by the form before its controls; the handler may consume a key (set it to 0).
  std::function<void(TForm&, wchar_t& key)> OnKeyPress;
  void DispatchKeyPress(wchar_t& key) {
    if (OnKeyPress) OnKeyPress(*this, key);
  }

  bool Modal() const { return modal_; }
  void SetModal(bool modal) { modal_ = modal; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result);
  // A modal form ends with the cancel result 2; another form's window closes.
  void Close();

  void PaintAll(ICanvas& canvas);

  void NotifyTimerChanged(TTimer& timer);
  void NotifyInvalidate();

 protected:
  void CaptionChanged() override;

 private:
  void Adopt(std::unique_ptr<TComponent> component, TControl* parent);
  void PaintControl(ICanvas& canvas, TControl& control, const TRect& parentClip);
  void AdjustAll(ICanvas& canvas, TControl& control);
  TControl* DeepestAt(TControl& control, int x, int y);
  void SetHovered(TControl* control);

  std::vector<std::unique_ptr<TComponent>> components_;
  IFormPeer* peer_ = nullptr;
  TControl* hovered_ = nullptr;
  TControl* captured_ = nullptr;
  TMouseButton capturedButton_ = TMouseButton::mbLeft;
  bool modal_ = false;
  int modalResult_ = 0;
  bool painting_ = false;
};

// Modal results.
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;

}  // namespace ui
