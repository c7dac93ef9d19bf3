// Extraction of the product package, a password-protected ZIP archive, into the install folder:
// every entry, folders recreated, attributes applied, existing files replaced silently, entries
// that cannot be read or written skipped one by one.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zip {

// Overall progress, 0 to 100, by archive bytes processed.
using ZipPercentCallback = std::function<void(int percent)>;
// Called between the blocks of input that extraction reads and between entries, however small:
// the caller's chance to keep a window answering during a long extraction.
using ZipStepCallback = std::function<void()>;

enum class PackageArchiveStatus { Ok, Missing, NotZip, Damaged };

enum class PackageEntryOutcome {
  Extracted,
  FolderCreated,
  WrongPassword,
  Unsupported,   // compression method or encryption scheme this reader lacks
  Damaged,       // bad data, CRC or authentication code
  CannotCreate,  // a folder on the way, the temporary file or the final replace failed (disk full, ...)
  UnsafeName,    // the name would reach outside the destination folder
  Overlapping,   // its data overlaps an earlier entry's: a crafted archive
  KeptReadOnly,  // the file was there already and is read-only; it stays as it was
  KeptInUse,     // the file was there already and is in use (a running program); it stays as it was
};

struct PackageExtraction {
  PackageArchiveStatus status = PackageArchiveStatus::Ok;
  int extracted = 0;  // files; folders are not counted
  int folders = 0;
  int skipped = 0;  // every entry neither extracted nor a folder
  int kept = 0;     // of those, the files kept as they were (KeptReadOnly, KeptInUse)
};

using PackageEntryCallback = std::function<void(const std::wstring& name, PackageEntryOutcome outcome)>;

class ZipInput;

// The full form, reporting each entry's outcome. The password is in the ANSI code page.
PackageExtraction ExtractPackage(const std::wstring& zipFile, const std::wstring& destDir, std::string_view password,
                                 const ZipPercentCallback& onTotalPercentDone, const PackageEntryCallback& onEntry = {},
                                 const ZipStepCallback& betweenBlocks = {});
// The same for an archive already open: every byte comes from archive, nothing opens the file again.
PackageExtraction ExtractPackage(ZipInput& archive, const std::wstring& destDir, std::string_view password,
                                 const ZipPercentCallback& onTotalPercentDone, const PackageEntryCallback& onEntry = {},
                                 const ZipStepCallback& betweenBlocks = {});

// Reads and checks every entry (password, data, CRC, authentication code) without writing.
PackageExtraction CheckPackage(const std::wstring& zipFile, std::string_view password, const PackageEntryCallback& onEntry);

// True when every entry came through, allowing only for files kept because they were read-only or in
// use (reinstalling over a running product), and at least one file or folder did; false also for a
// missing, non-ZIP or damaged archive. The password is handed to the reader in the ANSI code page.
bool UnzipPackage(const std::wstring& zipFile, const std::wstring& destDir, const std::wstring& password,
                  const ZipPercentCallback& onTotalPercentDone, const ZipStepCallback& betweenBlocks = {});
bool UnzipPackage(ZipInput& archive, const std::wstring& destDir, const std::wstring& password,
                  const ZipPercentCallback& onTotalPercentDone, const ZipStepCallback& betweenBlocks = {});

// Text for an outcome, as the maker's tool prints it.
std::string_view PackageEntryOutcomeText(PackageEntryOutcome outcome);

}  // namespace zip
