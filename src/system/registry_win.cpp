#include <windows.h>

#include "system/registry.h"
#include "system/win_handle.h"

namespace sys {
namespace {

HKEY RootHandle(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
  }
  return nullptr;
}

constexpr REGSAM kViewBits = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

}  // namespace

struct RegKey::Impl {
  win::RegKeyHandle key;
  REGSAM view = 0;  // the view flags the key was opened with

  Impl(HKEY h, REGSAM v) : key(h), view(v) {}
};

RegKey::RegKey() = default;
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;

long RegKey::Create(RegRoot root, std::wstring_view subKey, std::uint32_t access, RegKey& key) {
  key.Close();
  if (!reg::NamesOneView(access)) return ERROR_INVALID_PARAMETER;
  HKEY handle = nullptr;
  const LONG rc = RegCreateKeyExW(RootHandle(root), std::wstring(subKey).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, access, nullptr, &handle, nullptr);
  if (rc == ERROR_SUCCESS) key.impl_ = std::make_unique<Impl>(handle, access & kViewBits);
  return rc;
}

long RegKey::Open(RegRoot root, std::wstring_view subKey, std::uint32_t access, RegKey& key) {
  key.Close();
  if (!reg::NamesOneView(access)) return ERROR_INVALID_PARAMETER;
  HKEY handle = nullptr;
  const LONG rc = RegOpenKeyExW(RootHandle(root), std::wstring(subKey).c_str(), 0, access, &handle);
  if (rc == ERROR_SUCCESS) key.impl_ = std::make_unique<Impl>(handle, access & kViewBits);
  return rc;
}

long RegKey::Open(const RegKey& parent, std::wstring_view subKey, std::uint32_t access, RegKey& key) {
  if (!parent.IsOpen()) return ERROR_INVALID_HANDLE;
  const REGSAM view = (access & kViewBits) ? (access & kViewBits) : parent.impl_->view;
  HKEY handle = nullptr;
  const LONG rc = RegOpenKeyExW(parent.impl_->key.Get(), std::wstring(subKey).c_str(), 0, access | view, &handle);
  key.Close();
  if (rc == ERROR_SUCCESS) key.impl_ = std::make_unique<Impl>(handle, view);
  return rc;
}

bool RegKey::IsOpen() const { return impl_ != nullptr; }

void RegKey::Close() { impl_.reset(); }

long RegKey::SetValue(std::wstring_view name, std::uint32_t type, const std::vector<std::uint8_t>& data) const {
  if (!impl_) return ERROR_INVALID_HANDLE;
  return RegSetValueExW(impl_->key.Get(), std::wstring(name).c_str(), 0, type, data.data(),
                        static_cast<DWORD>(data.size()));
}

long RegKey::QueryValue(std::wstring_view name, std::uint32_t& type, std::vector<std::uint8_t>& data) const {
  data.clear();
  if (!impl_) return ERROR_INVALID_HANDLE;
  const std::wstring valueName(name);
  DWORD size = 0;
  DWORD valueType = 0;
  LONG rc = RegQueryValueExW(impl_->key.Get(), valueName.c_str(), nullptr, &valueType, nullptr, &size);
  // The value may grow between the two calls; ask again until the buffer holds it.
  while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
    data.resize(size);
    rc = RegQueryValueExW(impl_->key.Get(), valueName.c_str(), nullptr, &valueType, data.empty() ? nullptr : data.data(),
                          &size);
    if (rc == ERROR_SUCCESS) {
      data.resize(size);
      type = valueType;
      return rc;
    }
  }
  data.clear();
  return rc;
}

long RegKey::DeleteValue(std::wstring_view name) const {
  if (!impl_) return ERROR_INVALID_HANDLE;
  return RegDeleteValueW(impl_->key.Get(), std::wstring(name).c_str());
}

long RegKey::DeleteSubKey(std::wstring_view name) const {
  if (!impl_) return ERROR_INVALID_HANDLE;
  return RegDeleteKeyExW(impl_->key.Get(), std::wstring(name).c_str(), impl_->view, 0);
}

long RegKey::EnumSubKey(std::uint32_t index, std::wstring& name) const {
  name.clear();
  if (!impl_) return ERROR_INVALID_HANDLE;
  wchar_t buffer[256];  // key names are at most 255 characters
  DWORD length = 256;
  const LONG rc = RegEnumKeyExW(impl_->key.Get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS) name.assign(buffer, length);
  return rc;
}

long RegKey::SubKeyCount(std::uint32_t& count) const {
  count = 0;
  if (!impl_) return ERROR_INVALID_HANDLE;
  DWORD subKeys = 0;
  const LONG rc = RegQueryInfoKeyW(impl_->key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS) count = subKeys;
  return rc;
}

}  // namespace sys
