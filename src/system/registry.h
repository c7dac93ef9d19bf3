// The registry as the installer uses it: a thin, portable mirror of the Win32 registry calls
// (RegCreateKeyExW, RegOpenKeyExW, RegSetValueExW, RegQueryValueExW, RegDeleteKeyExW,
// RegEnumKeyExW, RegCloseKey), with their access masks, views, value types and Win32 error codes.
// The Windows build (registry_win.cpp) passes every call straight through; the host build
// (registry_fake.cpp) keeps an in-memory registry with separate 32-bit and 64-bit views of
// HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT, so the code above it runs unchanged in host tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine };

// Access masks, views and value types with their Win32 values.
namespace reg {
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kWow64_64Key = 0x0100;
inline constexpr std::uint32_t kWow64_32Key = 0x0200;

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Win32 error codes that callers look at.
inline constexpr long kSuccess = 0;
inline constexpr long kFileNotFound = 2;
inline constexpr long kAccessDenied = 5;
inline constexpr long kInvalidHandle = 6;
inline constexpr long kInvalidParameter = 87;
inline constexpr long kMoreData = 234;
inline constexpr long kNoMoreItems = 259;
inline constexpr long kUnsupportedType = 1630;

// Whether an access mask names exactly one registry view. Every key opened from a root must: the
// shipped installer is a 32-bit program and its test build a 64-bit one, and without a view flag
// each would address its own view of HKEY_LOCAL_MACHINE\Software and HKEY_CLASSES_ROOT on 64-bit
// Windows. KEY_WOW64_32KEY names the view a 32-bit program has by default; on 32-bit Windows both
// flags address the only view there is.
constexpr bool NamesOneView(std::uint32_t access) {
  return ((access & kWow64_32Key) != 0) != ((access & kWow64_64Key) != 0);
}

// REG_SZ data of a text: UTF-16LE characters and one terminating NUL, (length + 1) x 2 bytes.
std::vector<std::uint8_t> StringData(std::wstring_view text);
// Text of REG_SZ / REG_EXPAND_SZ data, cut at its first NUL (a missing terminator is tolerated).
std::wstring StringFromData(const std::vector<std::uint8_t>& data);
}  // namespace reg

// An open registry key; closed when the object goes. A key that failed to open is "null": every
// operation on it fails with kInvalidHandle, as on a null HKEY.
class RegKey {
 public:
  RegKey();
  ~RegKey();
  RegKey(RegKey&&) noexcept;
  RegKey& operator=(RegKey&&) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr).
  // An access that does not name one view (reg::NamesOneView) fails with kInvalidParameter.
  static long Create(RegRoot root, std::wstring_view subKey, std::uint32_t access, RegKey& key);
  // RegOpenKeyExW(root, subKey, 0, access, &key): no key is created. The view as for Create.
  static long Open(RegRoot root, std::wstring_view subKey, std::uint32_t access, RegKey& key);
  // The same, relative to an open key (the view of the parent's access mask applies).
  static long Open(const RegKey& parent, std::wstring_view subKey, std::uint32_t access, RegKey& key);

  bool IsOpen() const;
  void Close();

  long SetValue(std::wstring_view name, std::uint32_t type, const std::vector<std::uint8_t>& data) const;
  long QueryValue(std::wstring_view name, std::uint32_t& type, std::vector<std::uint8_t>& data) const;
  long DeleteValue(std::wstring_view name) const;
  // Deletes an immediate subkey that has no subkeys of its own (RegDeleteKeyExW in this key's view).
  long DeleteSubKey(std::wstring_view name) const;
  // Name of the subkey at index (0-based); kNoMoreItems past the last one.
  long EnumSubKey(std::uint32_t index, std::wstring& name) const;
  long SubKeyCount(std::uint32_t& count) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sys
