#include <windows.h>
#include <shlobj.h>

#include <type_traits>

#include "common/strings.h"
#include "system/shortcuts_platform.h"
#include "system/win_handle.h"

namespace sys::platform {

namespace {

std::wstring SpecialFolder(int csidl) {
  win::CoTaskPointer<std::remove_pointer_t<PIDLIST_ABSOLUTE>> list;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, list.Receive()))) return {};
  wchar_t path[MAX_PATH] = {};
  SHGetPathFromIDListW(list.Get(), path);
  return path;
}

}  // namespace

std::wstring DesktopFolder() { return SpecialFolder(CSIDL_DESKTOP); }

std::wstring ProgramsFolder() { return SpecialFolder(CSIDL_PROGRAMS); }

bool SaveShellLink(const ShellLinkProperties& link, std::wstring_view linkPath) {
  win::Com<IShellLinkW> shellLink;
  const HRESULT created =
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, shellLink.Receive());
  if (FAILED(created)) {
    common::RaiseError(L"Cannot create the shell link object (error " + common::DecimalText(created) + L")");
  }
  shellLink->SetPath(link.target.c_str());
  if (link.arguments) shellLink->SetArguments(link.arguments->c_str());
  shellLink->SetWorkingDirectory(link.workingDirectory.c_str());
  if (link.iconLocation) shellLink->SetIconLocation(link.iconLocation->c_str(), 0);
  win::Com<IPersistFile> file;
  if (FAILED(shellLink->QueryInterface(IID_IPersistFile, file.Receive()))) return false;
  return file->Save(std::wstring(linkPath).c_str(), FALSE) == S_OK;
}

}  // namespace sys::platform
