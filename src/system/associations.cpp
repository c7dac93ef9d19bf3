#include "system/associations.h"

#include <exception>

#include "common/strings.h"
#include "system/registry.h"
#include "system/registry_values.h"

namespace sys {

namespace {

constexpr std::wstring_view kFileExts = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr std::wstring_view kOpenCommand = L"\\shell\\open\\command";

std::wstring Key(std::wstring_view base, std::wstring_view below = {}) {
  return std::wstring(base) + std::wstring(below);
}

// The steps of AssociateFileExt; true when the user's choice was changed.
bool Associate(std::wstring_view ext, std::wstring_view progId, std::wstring_view description,
               std::wstring_view programPath, std::wstring_view extraArgs) {
  const std::uint32_t access = reg::kKeyAllAccess | reg::kWow64_32Key;
  RegKey key;
  if (RegKey::Create(RegRoot::ClassesRoot, ext, access, key) != reg::kSuccess) return false;
  SetStringValue(key, L"", progId);
  key.Close();
  if (RegKey::Create(RegRoot::ClassesRoot, progId, access, key) != reg::kSuccess) return false;
  SetStringValue(key, L"", description);
  if (RegKey::Create(RegRoot::ClassesRoot, Key(progId, kOpenCommand), access, key) == reg::kSuccess) {
    SetStringValue(key, L"", FileOpenCommand(programPath, extraArgs));
  }
  if (RegKey::Create(RegRoot::CurrentUser, Key(L"SOFTWARE\\Classes\\", ext), access, key) == reg::kSuccess) {
    SetStringValue(key, L"", progId);
  }
  const std::wstring fileExts = Key(kFileExts, ext);
  if (RegKey::Create(RegRoot::CurrentUser, fileExts, access, key) != reg::kSuccess) return false;
  RegKey userChoice;
  const bool haveChoice =
      RegKey::Create(RegRoot::CurrentUser, fileExts + L"\\UserChoice", access, userChoice) == reg::kSuccess;
  const RegKey& choice = haveChoice ? userChoice : key;
  if (QueryStringValue(choice, L"Progid") == progId) return false;
  SetStringValue(choice, L"Progid", progId);
  return true;
}

void SetOrRaise(const RegKey& key, std::wstring_view name, std::wstring_view text) {
  if (SetStringValue(key, name, text) != reg::kSuccess) {
    common::RaiseError(L"Failed to set data for '" + std::wstring(name) + L"'");
  }
}

}  // namespace

std::wstring ProtocolOpenCommand(std::wstring_view programPath) { return FileOpenCommand(programPath, L""); }

std::wstring FileOpenCommand(std::wstring_view programPath, std::wstring_view extraArgs) {
  std::wstring command = L"\"" + std::wstring(programPath) + L"\" ";
  if (!extraArgs.empty()) command += std::wstring(extraArgs) + L" ";
  return command + L"\"%1\"";
}

void AssociateFileExt(std::wstring_view ext, std::wstring_view progId, std::wstring_view description,
                      std::wstring_view programPath, std::wstring_view extraArgs) {
  try {
    if (Associate(ext, progId, description, programPath, extraArgs)) NotifyShellAssocChanged();
  } catch (const std::exception&) {
    // A registration that cannot be written is skipped; the install goes on.
  }
}

void RegisterUrlProtocol(std::wstring_view keyName, std::wstring_view displayName, std::wstring_view programPath) {
  const std::uint32_t access = reg::kKeyAllAccess | reg::kWow64_64Key;
  bool changed = false;
  {
    RegKey key;
    if (RegKey::Create(RegRoot::ClassesRoot, keyName, access, key) != reg::kSuccess) return;
    SetOrRaise(key, L"", displayName);
    SetOrRaise(key, L"URL Protocol", programPath);
    const std::wstring command = ProtocolOpenCommand(programPath);
    RegKey commandKey;
    if (RegKey::Create(RegRoot::ClassesRoot, Key(keyName, kOpenCommand), access, commandKey) != reg::kSuccess) return;
    if (QueryStringValue(commandKey, L"") != command) {
      SetOrRaise(commandKey, L"", command);
      changed = true;
    }
  }
  if (changed) NotifyShellAssocChanged();
}

}  // namespace sys
