// File associations and the URL protocol of the installed program in the Windows registry, and
// the notification that tells the shell about them. Nothing removes them again.
#pragma once

#include <string>
#include <string_view>

namespace sys {

// Registers ext (".jpg") for progId ("jpgFile"): HKEY_CLASSES_ROOT ext and progId with their
// default values, the open command HKEY_CLASSES_ROOT progId\shell\open\command, the per-user
// class HKEY_CURRENT_USER "SOFTWARE\Classes\<ext>", and the user's choice "Progid" below
// "...\Explorer\FileExts\<ext>\UserChoice" (on the FileExts key itself when UserChoice cannot be
// had), written and notified only when it differs. Never raises.
void AssociateFileExt(std::wstring_view ext, std::wstring_view progId, std::wstring_view description,
                      std::wstring_view programPath, std::wstring_view extraArgs);
// Registers the URL protocol keyName in the 64-bit view of HKEY_CLASSES_ROOT: its default value
// displayName, "URL Protocol" programPath, and shell\open\command (written and notified only when
// it differs). Stops silently when a key cannot be opened; a failing write raises
// common::EGeneralError "Failed to set data for '<name>'".
void RegisterUrlProtocol(std::wstring_view keyName, std::wstring_view displayName, std::wstring_view programPath);
// SHChangeNotify(SHCNE_ASSOCCHANGED), SHChangeNotify(SHCNE_ALLEVENTS), then a WM_WININICHANGE
// "Environment" broadcast that waits at most 100 ms.
void NotifyShellAssocChanged();

// "program" "%1"
std::wstring ProtocolOpenCommand(std::wstring_view programPath);
// "program" extraArgs "%1", without extraArgs and its space when it is empty.
std::wstring FileOpenCommand(std::wstring_view programPath, std::wstring_view extraArgs);

}  // namespace sys
