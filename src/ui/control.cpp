// Widget tree, alignment, pointer dispatch and painting order.
#include "ui/control.h"

#include <algorithm>

#include "common/text.h"

namespace ui {

namespace {

TRect Intersect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

}  // namespace

// ---- TControl

void TControl::SetBounds(int left, int top, int width, int height) {
  const bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width < 0 ? 0 : width;
  height_ = height < 0 ? 0 : height;
  if (resized) Realign();
  if (parent_ && align_ != TAlign::alNone) parent_->Realign();
  Invalidate();
}

TPoint TControl::OriginInForm() const {
  TPoint p;
  for (const TControl* c = this; c && c->parent_; c = c->parent_) {
    p.x += c->left_;
    p.y += c->top_;
  }
  return p;
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  if (parent_) parent_->Realign();
}

void TControl::Realign() {
  TRect rest = ClientRect();
  for (TAlign pass : {TAlign::alTop, TAlign::alBottom, TAlign::alRight}) {
    for (TControl* c : children_) {
      if (c->align_ != pass || !c->visible_) continue;
      switch (pass) {
        case TAlign::alTop:
          c->left_ = rest.left, c->top_ = rest.top, c->width_ = rest.Width();
          rest.top += c->height_;
          break;
        case TAlign::alBottom:
          c->left_ = rest.left, c->top_ = rest.bottom - c->height_, c->width_ = rest.Width();
          rest.bottom -= c->height_;
          break;
        default:
          c->left_ = rest.right - c->width_, c->top_ = rest.top, c->height_ = std::max(0, rest.Height());
          rest.right -= c->width_;
          break;
      }
      c->Realign();
    }
  }
}

void TControl::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (parent_ && align_ != TAlign::alNone) parent_->Realign();
  Invalidate();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_) {
    if (!c->visible_ && c->parent_) return false;
  }
  return true;
}

void TControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Invalidate();
}

void TControl::SetCaption(const std::wstring& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  CaptionChanged();
}

TForm* TControl::Form() const {
  if (Owner()) return Owner();
  return const_cast<TControl*>(this)->AsForm();
}

void TControl::Invalidate() {
  if (TForm* form = Form()) form->NotifyInvalidate();
}

bool TControl::SetStringProperty(std::wstring_view property, const std::wstring& value) {
  if (property == L"Hint") {
    Hint = value;
    return true;
  }
  if (property == L"Caption" && hasCaption_) {
    SetCaption(value);
    return true;
  }
  return false;
}

void TControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(*this);
}

void TControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(*this);
}

void TControl::MouseDown(TMouseButton button, int x, int y) {
  if (OnMouseDown) OnMouseDown(*this, button, x, y);
}

void TControl::MouseUp(TMouseButton button, int x, int y) {
  if (OnMouseUp) OnMouseUp(*this, button, x, y);
}

void TControl::Click() {
  if (OnClick) OnClick(*this);
}

// ---- TTimer

void TTimer::SetInterval(unsigned ms) {
  interval_ = ms;
  if (Owner()) Owner()->NotifyTimerChanged(*this);
}

void TTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (Owner()) Owner()->NotifyTimerChanged(*this);
}

// ---- TForm

TForm::TForm(std::wstring className, std::wstring name) : TControl(std::move(className), std::move(name)) {
  hasCaption_ = true;
}

TForm::~TForm() = default;

void TForm::Adopt(std::unique_ptr<TComponent> component, TControl* parent) {
  component->owner_ = this;
  if (auto* control = component->AsControl()) {
    TControl* p = parent ? parent : this;
    control->parent_ = p;
    p->children_.push_back(control);
  }
  components_.push_back(std::move(component));
}

TComponent* TForm::FindComponent(std::wstring_view name) const {
  const std::wstring wanted = common::UpperCase(name);
  for (const auto& c : components_) {
    if (common::UpperCase(c->Name()) == wanted) return c.get();
  }
  return nullptr;
}

void TForm::SetClientSize(int width, int height) {
  SetBounds(Left(), Top(), width, height);
  if (peer_) peer_->ClientSizeChanged();
}

TControl* TForm::DeepestAt(TControl& control, int x, int y) {
  for (auto it = control.children_.rbegin(); it != control.children_.rend(); ++it) {
    TControl* c = *it;
    if (!c->visible_ || !c->enabled_) continue;
    const int lx = x - c->left_, ly = y - c->top_;
    if (!c->ClientRect().Contains(lx, ly)) continue;
    if (TControl* inner = DeepestAt(*c, lx, ly)) return inner;
    if (c->HitTest(lx, ly)) return c;
  }
  return nullptr;
}

TControl* TForm::ControlAt(int x, int y) {
  if (!ClientRect().Contains(x, y)) return nullptr;
  TControl* c = DeepestAt(*this, x, y);
  return c ? c : this;
}

void TForm::SetHovered(TControl* control) {
  if (control == hovered_) return;
  TControl* old = hovered_;
  hovered_ = control;
  if (old) old->MouseLeave();
  if (control) control->MouseEnter();
}

void TForm::DispatchMouseMove(int x, int y) {
  TControl* hit = ControlAt(x, y);
  SetHovered(hit == this ? nullptr : hit);
}

void TForm::DispatchMouseDown(TMouseButton button, int x, int y) {
  DispatchMouseMove(x, y);
  TControl* target = ControlAt(x, y);
  if (!target) return;
  captured_ = target;
  capturedButton_ = button;
  const TPoint o = target->OriginInForm();
  target->MouseDown(button, x - o.x, y - o.y);
}

void TForm::DispatchMouseUp(TMouseButton button, int x, int y) {
  TControl* target = captured_ && capturedButton_ == button ? captured_ : nullptr;
  if (!target) {
    DispatchMouseMove(x, y);
    return;
  }
  captured_ = nullptr;
  const TPoint o = target->OriginInForm();
  const int lx = x - o.x, ly = y - o.y;
  if (button == TMouseButton::mbLeft && target->ClientRect().Contains(lx, ly)) target->Click();
  target->MouseUp(button, lx, ly);
  DispatchMouseMove(x, y);
}

void TForm::DispatchMouseLeaveWindow() {
  if (!captured_) SetHovered(nullptr);
}

void TForm::SetModalResult(int result) {
  modalResult_ = result;
  if (peer_ && result != 0) peer_->ModalResultChanged();
}

void TForm::Close() {
  if (modal_) {
    SetModalResult(mrCancel);
  } else if (peer_) {
    peer_->Close();
  }
}

void TForm::CaptionChanged() {
  if (peer_) peer_->CaptionChanged();
}

void TForm::NotifyTimerChanged(TTimer& timer) {
  if (peer_) peer_->TimerChanged(timer);
}

void TForm::NotifyInvalidate() {
  // A paint pass draws everything anyway; changes made while it runs need no second one.
  if (peer_ && !painting_) peer_->Invalidate();
}

void TForm::AdjustAll(ICanvas& canvas, TControl& control) {
  for (TControl* c : control.children_) {
    if (!c->visible_) continue;
    c->AdjustBounds(canvas);
    AdjustAll(canvas, *c);
  }
}

void TForm::PaintControl(ICanvas& canvas, TControl& control, const TRect& parentClip) {
  const TPoint o = control.OriginInForm();
  const TRect bounds{o.x, o.y, o.x + control.width_, o.y + control.height_};
  const TRect clip = Intersect(parentClip, bounds);
  if (clip.Width() <= 0 || clip.Height() <= 0) return;
  canvas.BeginControl(bounds, clip);
  control.Paint(canvas);
  for (TControl* c : control.children_) {
    if (c->visible_) PaintControl(canvas, *c, clip);
  }
}

void TForm::PaintAll(ICanvas& canvas) {
  painting_ = true;
  AdjustAll(canvas, *this);
  const TRect client = ClientRect();
  canvas.BeginControl(client, client);
  canvas.FillRect(client, Color);
  for (TControl* c : Children()) {
    if (c->visible_) PaintControl(canvas, *c, client);
  }
  painting_ = false;
}

}  // namespace ui
