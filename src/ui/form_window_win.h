// The Win32 window that shows a TForm: borderless popup, centred, with a drop shadow; painted in
// one pass into a back buffer (no flicker), pointer and keys handed to the form, a native EDIT
// window for each edit field, a system timer for each enabled timer, and a modal loop.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "ui/control.h"

namespace ui {

class TFormWindow : public IFormPeer {
 public:
  explicit TFormWindow(TForm& form);
  ~TFormWindow() override;
  TFormWindow(const TFormWindow&) = delete;
  TFormWindow& operator=(const TFormWindow&) = delete;

  // Creates the hidden window; appWindow gives it a taskbar button. False when it failed.
  bool Create(HWND owner = nullptr, bool appWindow = false);
  HWND Handle() const { return hwnd_; }
  void Show(int showCommand = SW_SHOW);
  // Shows the form modally with the active window disabled until it closes; returns the modal
  // result (2 when the window was closed any other way).
  int ShowModal();
  // The drop shadow of a borderless window on Windows Vista and later: false when the system
  // does not compose the desktop or refuses the attribute.
  bool EnableDwmShadow();

  // WM_CLOSE on a form that is not modal; without a handler the window is destroyed.
  std::function<void()> OnCloseRequest;
  // WM_QUERYENDSESSION: whether a shutdown or log-off may go ahead; without a handler it may.
  std::function<bool()> OnQueryEndSession;
  // Ends the message loop when the window is destroyed (the main window).
  bool QuitOnDestroy = false;

  // IFormPeer
  void Invalidate() override;
  void ClientSizeChanged() override;
  void CaptionChanged() override;
  void BeginMove() override;
  void Close() override;
  void ModalResultChanged() override;
  void TimerChanged(TTimer& timer) override;

 private:
  class EditWindow;
  class BackBuffer;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void Paint();
  void MouseButton(UINT msg, LPARAM lParam);

  TForm& form_;
  HWND hwnd_ = nullptr;
  std::unique_ptr<BackBuffer> buffer_;
  std::vector<std::unique_ptr<EditWindow>> edits_;
  std::vector<TTimer*> timers_;  // timer id = index + 1
  bool trackingLeave_ = false;
};

// The Windows major version (5 before Vista).
int WindowsMajorVersion();

}  // namespace ui
