// Extraction of the product package, a password-protected ZIP archive, into the install folder:
// every entry, folders recreated, attributes applied, existing files replaced silently, entries
// that cannot be read or written skipped one by one. Entries are decoded on worker threads, each
// into a temporary file of its own; the calling thread gets every callback, in archive order, as
// extracting one entry after the other would give them, and moves each file into place.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zip {

// Overall progress, 0 to 100, by archive bytes processed.
using ZipPercentCallback = std::function<void(int percent)>;
// Called between the blocks of input that extraction reads, between entries however small, and
// every few milliseconds while the calling thread waits for the workers: the caller's chance to
// keep a window answering during a long extraction.
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

// Worker threads that decode entries: one per core, at most four.
unsigned ZipDecodingThreads();

// The full form, reporting each entry's outcome. The password is in the ANSI code page. threads 0
// decodes on the calling thread.
PackageExtraction ExtractPackage(const std::wstring& zipFile, const std::wstring& destDir, std::string_view password,
                                 const ZipPercentCallback& onTotalPercentDone, const PackageEntryCallback& onEntry = {},
                                 const ZipStepCallback& betweenBlocks = {}, unsigned threads = ZipDecodingThreads());
// The same for an archive already open: every byte comes from archive, nothing opens the file again.
// archive is read from several threads at once.
PackageExtraction ExtractPackage(ZipInput& archive, const std::wstring& destDir, std::string_view password,
                                 const ZipPercentCallback& onTotalPercentDone, const PackageEntryCallback& onEntry = {},
                                 const ZipStepCallback& betweenBlocks = {}, unsigned threads = ZipDecodingThreads());

// Reads and checks every entry (password, data, CRC, authentication code) without writing.
PackageExtraction CheckPackage(const std::wstring& zipFile, std::string_view password, const PackageEntryCallback& onEntry,
                               unsigned threads = ZipDecodingThreads());

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
