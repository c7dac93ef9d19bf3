// The uninstaller that an install leaves in the install folder: a copy of the running installer.
// An uninstall never reads the embedded package, so the copy of an unsigned installer drops it
// (resource "ZIPFILE" of type "FILE") and the package is not on disk twice; this departs on
// purpose from copying the executable whole. A signed installer is copied whole, since removing a
// resource would break its Authenticode signature.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

// Copies installer to destination (overwriting it), then removes the package from the copy unless
// the installer is signed. True when the copy exists; a package that cannot be removed leaves the
// whole copy, which uninstalls just as well.
bool WriteUninstallerCopy(const std::wstring& installer, const std::wstring& destination);

// True when the PE image that these first bytes begin has a certificate table (its security data
// directory is not empty); false for anything that is not such an image.
bool HasCertificateTable(std::span<const std::uint8_t> imageStart);

// Headers lie at the start of the file; e_lfanew of any real image is well inside this.
inline constexpr std::size_t kImageStartBytes = 64 * 1024;

// The first kImageStartBytes of a file, which HasCertificateTable needs (all of a smaller file);
// empty when it cannot be read.
std::vector<std::uint8_t> ReadImageStart(const std::wstring& path);

// Removes every language of the resource from the executable file; true when it held the resource
// and it is gone. The host build has no resources in files and returns false.
bool RemoveFileResource(const std::wstring& path, std::wstring_view name, std::wstring_view type);

}  // namespace sys
