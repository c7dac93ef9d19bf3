#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include "system/folder_access.h"
#include "system/private_folder_win.h"
#include "system/registry_strings.h"
#include "system/win_handle.h"

namespace sys {
namespace {

std::wstring SidText(PSID sid) {
  wchar_t* raw = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, &raw)) return std::wstring();
  const win::LocalMemory owned(raw);
  return raw;
}

}  // namespace

std::optional<FolderAccess> ReadFolderAccess(const std::wstring& folder) {
  // From the folder itself, as named (a full path would resolve links): through a link, the list
  // read would be the target's.
  const win::FileHandle held = win::HoldPlainFolder(folder);
  if (!held) return std::nullopt;
  PSID owner = nullptr;
  PACL list = nullptr;
  win::LocalMemory descriptor;
  if (GetSecurityInfo(held.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                      nullptr, &list, nullptr, descriptor.Receive()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  FolderAccess access;
  access.owner = SidText(owner);
  access.hasList = list != nullptr;
  for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
    void* raw = nullptr;
    if (!GetAce(list, i, &raw)) return std::nullopt;
    const auto* header = static_cast<const ACE_HEADER*>(raw);
    // Allowed and denied entries share one layout; any other kind is not understood here, and a
    // folder that cannot be judged does not pass.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) return std::nullopt;
    const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
    access.entries.push_back({SidText(const_cast<DWORD*>(&ace->SidStart)), header->AceType == ACCESS_ALLOWED_ACE_TYPE,
                              (header->AceFlags & INHERIT_ONLY_ACE) != 0, ace->Mask});
  }
  return access;
}

bool ProtectServiceFolder(const std::wstring& folder) {
  win::LocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)", SDDL_REVISION_1, descriptor.Receive(),
          nullptr)) {
    return false;
  }
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  PACL list = nullptr;
  BOOL present = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor.Get(), &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(descriptor.Get(), &present, &list, &defaulted)) {
    return false;
  }
  // Held, the folder can be neither renamed nor replaced by a link while its list is set; by name,
  // so that what is inside already inherits the new entries too.
  std::wstring path = folder;
  const win::FileHandle held = win::HoldPlainFolder(path);
  return held && SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                           PROTECTED_DACL_SECURITY_INFORMATION,
                                       owner, nullptr, list, nullptr) == ERROR_SUCCESS;
}

std::wstring GetProgramFilesDir() {
  win::CoTaskPointer<wchar_t> path;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramFilesX86, 0, nullptr, path.Receive()))) return std::wstring();
  return path.Get();
}

std::vector<std::wstring> GetProgramFilesDirs() {
  std::vector<std::wstring> folders;
  for (std::wstring folder : {GetProgramFilesDir(), ReadRegStringQuiet(RegRoot::LocalMachine, kCurrentVersionKey,
                                                                        L"ProgramFilesDir")}) {
    if (!folder.empty()) folders.push_back(std::move(folder));
  }
  return folders;
}

}  // namespace sys
