// Win32 host of the skinned forms.
#include "ui/form_window_win.h"

#include <dwmapi.h>
#include <windowsx.h>

#include "system/gui_thread.h"
#include "system/handler_errors.h"
#include "system/win_handle.h"
#include "ui/controls.h"
#include "ui/gdiplus_canvas_win.h"

namespace ui {

namespace {

constexpr wchar_t kClassName[] = L"TSkinForm";
constexpr wchar_t kShadowClassName[] = L"TSkinFormShadow";
constexpr UINT kWmDwmCompositionChanged = 0x031E;
constexpr UINT kWmDwmNcRenderingChanged = 0x031F;
constexpr WPARAM kScDragMove = 0xF012;  // SC_MOVE plus the caption hit-test code

// Before Vista the window is a pure popup whose class carries the drop shadow.
const wchar_t* RegisterFormClass() {
  const bool legacyShadow = WindowsMajorVersion() < 6;
  const wchar_t* name = legacyShadow ? kShadowClassName : kClassName;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) return name;
  wc.style = legacyShadow ? CS_DROPSHADOW : 0;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
  return name;
}

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM list) {
  if (IsWindowVisible(window) && IsWindowEnabled(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

}  // namespace

int WindowsMajorVersion() { return LOBYTE(LOWORD(GetVersion())); }

// A 32-bit DIB the size of the client area, selected into a memory DC.
class TFormWindow::BackBuffer {
 public:
  BackBuffer(HDC reference, int width, int height)
      : width_(width), height_(height), dc_(CreateCompatibleDC(reference)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_ = sys::win::GdiObject<HBITMAP>(CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    old_ = SelectObject(dc_.Get(), bitmap_.Get());
  }
  // The bitmap leaves the device context before either goes (the bitmap first).
  ~BackBuffer() { SelectObject(dc_.Get(), old_); }
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;
  HDC Dc() const { return dc_.Get(); }
  bool Fits(int width, int height) const { return width == width_ && height == height_; }

 private:
  int width_, height_;
  sys::win::MemoryDc dc_;
  sys::win::GdiObject<HBITMAP> bitmap_;
  HGDIOBJ old_ = nullptr;
};

// The native single-line field behind a TEdit, flat, inside the frame the TEdit paints.
class TFormWindow::EditWindow : public IEditPeer {
 public:
  EditWindow(TEdit& edit, HWND parent) : edit_(edit) {
    hwnd_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL | WS_TABSTOP, 0, 0, 0, 0, parent, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    edit.SetPeer(this);
  }
  ~EditWindow() override { edit_.SetPeer(nullptr); }
  EditWindow(const EditWindow&) = delete;
  EditWindow& operator=(const EditWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  const TEdit& Edit() const { return edit_; }
  std::wstring GetText() override {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
  }
  void SetText(const std::wstring& text) override { SetWindowTextW(hwnd_, text.c_str()); }
  void SelectNone() override {
    DWORD end = 0;
    SendMessageW(hwnd_, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
    SendMessageW(hwnd_, EM_SETSEL, end, end);
  }
  void Sync() override {
    if (!font_ || fontName_ != edit_.Font.name || fontHeight_ != edit_.Font.height) {
      fontName_ = edit_.Font.name;
      fontHeight_ = edit_.Font.height;
      font_ = sys::win::GdiObject<HFONT>(CreateFontW(-fontHeight_, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                                     CLEARTYPE_QUALITY, DEFAULT_PITCH, fontName_.c_str()));
      SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), TRUE);
      SendMessageW(hwnd_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(4, 4));
    }
    const TPoint o = edit_.OriginInForm();
    const int lineHeight = fontHeight_ + fontHeight_ / 3 + 1;
    const int inset = std::max(1, (edit_.Height() - lineHeight) / 2);
    SetWindowPos(hwnd_, nullptr, o.x + 1, o.y + inset, std::max(0, edit_.Width() - 2),
                 std::max(0, edit_.Height() - 2 * inset), SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd_, edit_.Showing() ? SW_SHOWNA : SW_HIDE);
  }

 private:
  TEdit& edit_;
  HWND hwnd_ = nullptr;
  sys::win::GdiObject<HFONT> font_;
  std::wstring fontName_;
  int fontHeight_ = 0;
};

TFormWindow::TFormWindow(TForm& form) : form_(form) {}

TFormWindow::~TFormWindow() {
  form_.SetPeer(nullptr);
  edits_.clear();
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

bool TFormWindow::Create(HWND owner, bool appWindow) {
  const wchar_t* cls = RegisterFormClass();
  const int x = (GetSystemMetrics(SM_CXSCREEN) - form_.Width()) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - form_.Height()) / 2;
  const DWORD style = WindowsMajorVersion() < 6 ? WS_POPUP : WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
  hwnd_ = CreateWindowExW(appWindow ? WS_EX_APPWINDOW : 0, cls, form_.Caption().c_str(), style, x, y, form_.Width(),
                          form_.Height(), owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return false;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
  form_.SetPeer(this);
  for (const auto& component : form_.Components()) {
    if (auto* edit = component->AsEdit()) edits_.push_back(std::make_unique<EditWindow>(*edit, hwnd_));
    if (auto* timer = component->AsTimer()) {
      timers_.push_back(timer);
      TimerChanged(*timer);
    }
  }
  if (WindowsMajorVersion() >= 6) EnableDwmShadow();
  return true;
}

void TFormWindow::Show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
}

bool TFormWindow::EnableDwmShadow() {
  if (WindowsMajorVersion() < 6) return false;
  const DWORD policy = 0;  // DWMNCRP_USEWINDOWSTYLE
  if (FAILED(DwmSetWindowAttribute(hwnd_, 2 /* DWMWA_NCRENDERING_POLICY */, &policy, sizeof policy))) return false;
  BOOL composed = FALSE;
  if (FAILED(DwmIsCompositionEnabled(&composed)) || !composed) return false;
  const MARGINS margins{0, 0, 0, 1};
  return SUCCEEDED(DwmExtendFrameIntoClientArea(hwnd_, &margins));
}

int TFormWindow::ShowModal() {
  form_.SetModal(true);
  form_.SetModalResult(0);
  HWND owner = GetActiveWindow();
  if (!hwnd_ && !Create(owner)) return mrCancel;
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
  for (HWND w : disabled) {
    if (w != hwnd_) EnableWindow(w, FALSE);
  }
  Show(SW_SHOW);
  SetActiveWindow(hwnd_);
  SetFocus(hwnd_);
  const std::optional<int> quit = sys::RunMessageLoop([this] { return form_.ModalResult() != 0 || !IsWindow(hwnd_); });
  if (quit) PostQuitMessage(*quit);  // for the main loop
  for (HWND w : disabled) {
    if (w != hwnd_) EnableWindow(w, TRUE);
  }
  if (owner) SetActiveWindow(owner);
  ShowWindow(hwnd_, SW_HIDE);
  form_.SetModal(false);
  return form_.ModalResult() ? form_.ModalResult() : mrCancel;
}

void TFormWindow::Invalidate() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void TFormWindow::ClientSizeChanged() {
  if (hwnd_) SetWindowPos(hwnd_, nullptr, 0, 0, form_.Width(), form_.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Invalidate();
}

void TFormWindow::CaptionChanged() {
  if (hwnd_) SetWindowTextW(hwnd_, form_.Caption().c_str());
}

void TFormWindow::BeginMove() {
  ReleaseCapture();
  SendMessageW(hwnd_, WM_SYSCOMMAND, kScDragMove, 0);
}

void TFormWindow::Close() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }

void TFormWindow::ModalResultChanged() {
  if (hwnd_) PostMessageW(hwnd_, WM_NULL, 0, 0);  // wakes the modal loop
}

void TFormWindow::TimerChanged(TTimer& timer) {
  if (!hwnd_) return;
  for (std::size_t i = 0; i < timers_.size(); ++i) {
    if (timers_[i] != &timer) continue;
    KillTimer(hwnd_, i + 1);
    if (timer.Enabled() && timer.Interval() > 0) SetTimer(hwnd_, i + 1, timer.Interval(), nullptr);
  }
}

void TFormWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!buffer_ || !buffer_->Fits(form_.Width(), form_.Height())) {
    buffer_.reset();
    buffer_ = std::make_unique<BackBuffer>(dc, std::max(1, form_.Width()), std::max(1, form_.Height()));
  }
  {
    EnsureGdiplus();
    Gdiplus::Graphics graphics(buffer_->Dc());
    TGdiPlusCanvas canvas(graphics);
    form_.PaintAll(canvas);
  }
  BitBlt(dc, 0, 0, form_.Width(), form_.Height(), buffer_->Dc(), 0, 0, SRCCOPY);
  EndPaint(hwnd_, &ps);
  for (const auto& edit : edits_) edit->Sync();
}

void TFormWindow::MouseButton(UINT msg, LPARAM lParam) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  const TMouseButton button = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP   ? TMouseButton::mbLeft
                              : msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP ? TMouseButton::mbRight
                                                                             : TMouseButton::mbMiddle;
  if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) {
    SetCapture(hwnd_);
    form_.DispatchMouseDown(button, x, y);
  } else {
    form_.DispatchMouseUp(button, x, y);
    if (GetCapture() == hwnd_) ReleaseCapture();  // after the form has seen the release
  }
}

LRESULT TFormWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_MOUSEMOVE:
      if (!trackingLeave_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
        trackingLeave_ = TrackMouseEvent(&track) != FALSE;
      }
      form_.DispatchMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      form_.DispatchMouseLeaveWindow();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      MouseButton(msg, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      form_.ReleaseMouseCapture();
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd_) {
        const TControl* hovered = form_.Hovered();
        const bool hand = hovered && hovered->Cursor == TCursor::crHandPoint;
        SetCursor(LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_CHAR: {
      auto key = static_cast<wchar_t>(wParam);
      form_.DispatchKeyPress(key);
      return 0;
    }
    case WM_TIMER:
      if (wParam >= 1 && wParam <= timers_.size()) timers_[wParam - 1]->Fire();
      return 0;
    case WM_CTLCOLOREDIT:
      for (const auto& edit : edits_) {
        if (edit->Handle() != reinterpret_cast<HWND>(lParam)) continue;
        const TColor c = edit->Edit().Font.color;
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF));
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      }
      break;
    case WM_CLOSE:
      if (form_.Modal()) {
        form_.SetModalResult(mrCancel);
      } else if (OnCloseRequest) {
        OnCloseRequest();
      } else {
        DestroyWindow(hwnd_);
      }
      return 0;
    case WM_QUERYENDSESSION:
      return !OnQueryEndSession || OnQueryEndSession() ? TRUE : FALSE;
    case WM_DESTROY:
      if (QuitOnDestroy) PostQuitMessage(0);
      break;
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      form_.SetPeer(nullptr);
      break;
    case kWmDwmCompositionChanged:
    case kWmDwmNcRenderingChanged:
      if (EnableDwmShadow()) return 0;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

// No exception leaves here: what a handler throws ends that handler and goes to the one error
// path, and the window goes on serving its messages.
LRESULT CALLBACK TFormWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TFormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    return self->HandleMessage(msg, wParam, lParam);
  } catch (...) {
    // A paint that failed half-way would otherwise be asked for again at once, for ever.
    if (msg == WM_PAINT) ValidateRect(hwnd, nullptr);
    sys::ReportHandlerError();
    return 0;
  }
}

}  // namespace ui
