#include "system/message_box.h"

#include <utility>

#include "system/message_box_system.h"

namespace sys {

namespace {

struct Application {
  void* window = nullptr;
  std::wstring title;
};

Application& App() {
  static Application app;
  return app;
}

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}

int ShowMessageBox(void* owner, std::wstring_view text, std::wstring_view caption, std::uint32_t style) {
  const MessageBoxRequest request{owner, std::wstring(text), std::wstring(caption), style};
  if (Handler()) return Handler()(request);
  return SystemMessageBox(request);
}

void SetApplicationWindow(void* window, std::wstring_view title) {
  App().window = window;
  App().title = title;
}

void* ApplicationWindow() { return App().window; }

std::wstring ApplicationTitle() { return App().title; }

void ShowStandardMessage(std::wstring_view text, std::uint32_t iconFlags) {
  ShowMessageBox(ApplicationWindow(), text, ApplicationTitle(), mb::kOk | iconFlags);
}

}  // namespace sys
