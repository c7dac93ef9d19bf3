// Message boxes of the system-integration functions and of the standard message box: the
// application window and title that own them, and a replaceable handler through which tests see
// and answer every box instead of the system's MessageBoxW.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sys {

namespace mb {
inline constexpr std::uint32_t kOk = 0x00;
inline constexpr std::uint32_t kYesNo = 0x04;
inline constexpr std::uint32_t kIconQuestion = 0x20;
inline constexpr std::uint32_t kIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
}  // namespace mb

struct MessageBoxRequest {
  void* owner = nullptr;  // HWND
  std::wstring text;
  std::wstring caption;
  std::uint32_t style = 0;  // MB_* flags
};

// Answers a box with the button id the user would have pressed (IDOK, IDYES, IDNO, ...).
using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Puts handler in place of the system's message box; an empty handler brings the system box back.
// Returns the handler it replaces. Without a handler the Windows build calls MessageBoxW and the
// host build, which has no screen, answers 0 as MessageBoxW does when it cannot show a box.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// MessageBoxW(owner, text, caption, style) or the handler; returns the button id.
int ShowMessageBox(void* owner, std::wstring_view text, std::wstring_view caption, std::uint32_t style);

// The application window (owner of the standard message box) and the application title (its
// caption); set by the main window, empty until then.
void SetApplicationWindow(void* window, std::wstring_view title);
void* ApplicationWindow();
std::wstring ApplicationTitle();

// The standard message box: the application window as owner, the application title as caption,
// the single OK button, with the given icon flags.
void ShowStandardMessage(std::wstring_view text, std::uint32_t iconFlags = 0);

}  // namespace sys
