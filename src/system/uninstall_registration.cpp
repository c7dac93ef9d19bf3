#include "system/uninstall_registration.h"

#include "common/strings.h"
#include "system/message_box.h"
#include "system/registry_strings.h"
#include "system/registry_values.h"

namespace sys {

namespace {

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

// Deletes parent\name after its subkeys, the last-listed first.
void DeleteKeyTree(const RegKey& parent, std::wstring_view name) {
  RegKey key;
  if (RegKey::Open(parent, name, reg::kKeyAllAccess, key) == reg::kSuccess) {
    std::uint32_t count = 0;
    key.SubKeyCount(count);
    for (std::uint32_t index = count; index-- > 0;) {
      std::wstring child;
      if (key.EnumSubKey(index, child) == reg::kSuccess) DeleteKeyTree(key, child);
    }
  }
  key.Close();
  parent.DeleteSubKey(name);
}

}  // namespace

std::wstring UninstallKeyPath(std::wstring_view softId) {
  return std::wstring(kUninstallKey) + L"\\" + std::wstring(softId);
}

long CreateRegKeyInView(int view, RegRoot root, std::wstring_view subKey, std::uint32_t accessMask, RegKey& key) {
  return RegKey::Create(root, subKey, accessMask | (view == 2 ? reg::kWow64_64Key : reg::kWow64_32Key), key);
}

void ShowErrorCode(long code) {
  ShowMessageBox(ApplicationWindow(), common::DecimalText(code), ApplicationTitle(), mb::kIconInformation | mb::kOk);
}

void WriteUninstallInfo(std::wstring_view softId, std::wstring_view displayName, std::wstring_view exePath,
                        std::wstring_view installDir, std::wstring_view version, std::wstring_view publisher) {
  RegKey key;
  const long created = CreateRegKeyInView(1, RegRoot::LocalMachine, UninstallKeyPath(softId), reg::kKeySetValue, key);
  if (created != reg::kSuccess) ShowErrorCode(created);
  const auto write = [&key](std::wstring_view name, std::wstring_view text) {
    if (const long error = SetStringValue(key, name, text); error != reg::kSuccess) ShowErrorCode(error);
  };
  const std::wstring program = Quoted(exePath);
  write(L"DisplayName", displayName);
  write(L"DisplayIcon", program);
  // Quoted, so that Windows cannot run another program for a folder with spaces.
  write(L"UninstallString", Quoted(std::wstring(installDir) + L"\\unin.exe"));
  if (!version.empty()) write(L"DisplayVersion", version);
  if (!publisher.empty()) write(L"Publisher", publisher);
  write(L"ExePath", program);
}

void DeleteUninstallInfo(std::wstring_view softId) {
  if (softId.empty()) return;
  RegKey uninstall;
  if (RegKey::Open(RegRoot::LocalMachine, kUninstallKey, reg::kKeyAllAccess | reg::kWow64_32Key, uninstall) != reg::kSuccess) return;
  DeleteKeyTree(uninstall, softId);
}

std::wstring GetInstalledExePath(std::wstring_view softId) {
  std::wstring path = ReadRegString(RegRoot::LocalMachine, UninstallKeyPath(softId), L"DisplayIcon");
  std::erase(path, L'"');
  return path;
}

std::wstring GetRegisteredInstallDir(std::wstring_view softId) {
  if (softId.empty()) return {};
  RegKey key;
  std::wstring command;
  if (RegKey::Open(RegRoot::LocalMachine, UninstallKeyPath(softId), reg::kKeyRead | reg::kWow64_32Key, key) != reg::kSuccess ||
      QueryStringValue(key, L"UninstallString", command) != reg::kSuccess) {
    return {};
  }
  std::erase(command, L'"');
  const std::size_t slash = command.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : command.substr(0, slash);
}

std::wstring GetInstalledVersion(std::wstring_view softId) {
  return ReadRegString(RegRoot::LocalMachine, UninstallKeyPath(softId), L"DisplayVersion");
}

}  // namespace sys
