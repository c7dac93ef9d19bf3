#include "zip/unzip_package.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "common/text.h"
#include "zip/zip_files.h"
#include "zip/zip_path.h"
#include "zip/zip_reader.h"

namespace zip {
namespace {

constexpr std::uint64_t kReportEvery = 64 * 1024;
constexpr std::uint64_t kSmallestChunk = 4 * 1024;

// Turns bytes processed into percent calls: one at every whole percent and at least one per
// 64 KiB of archive read; and each block read and each entry done into a step call.
class ProgressMeter {
 public:
  ProgressMeter(std::uint64_t total, const ZipPercentCallback& callback, const ZipStepCallback& step)
      : total_(total), callback_(callback), step_(step) {}

  // Blocks small enough that each advances by at most one percent, when the archive allows.
  std::size_t ChunkLimit() const {
    return static_cast<std::size_t>(std::clamp(total_ / 100, kSmallestChunk, std::uint64_t{ZipReader::kMaxChunk}));
  }
  void Add(std::uint64_t bytes) { MoveTo(done_ + bytes); }
  void MoveTo(std::uint64_t done) {
    sinceReport_ += done - std::min(done, done_);
    done_ = std::min(done, total_);
    const int percent = total_ == 0 ? 100 : static_cast<int>(done_ * 100 / total_);
    if (percent != reported_ || sinceReport_ >= kReportEvery) {
      reported_ = percent;
      sinceReport_ = 0;
      if (callback_) callback_(percent);
    }
    if (step_) step_();
  }
  std::uint64_t Done() const { return done_; }

 private:
  std::uint64_t total_;
  const ZipPercentCallback& callback_;
  const ZipStepCallback& step_;
  std::uint64_t done_ = 0;
  std::uint64_t sinceReport_ = 0;
  int reported_ = -1;
};

PackageEntryOutcome FromReader(ZipEntryOutcome outcome) {
  switch (outcome) {
    case ZipEntryOutcome::Extracted: return PackageEntryOutcome::Extracted;
    case ZipEntryOutcome::WrongPassword: return PackageEntryOutcome::WrongPassword;
    case ZipEntryOutcome::Unsupported: return PackageEntryOutcome::Unsupported;
    case ZipEntryOutcome::Damaged: return PackageEntryOutcome::Damaged;
    case ZipEntryOutcome::WriteFailed: break;
  }
  return PackageEntryOutcome::CannotCreate;
}

class PackageWriter {
 public:
  PackageWriter(ZipReader& reader, std::wstring destDir, std::string_view password, ProgressMeter& meter)
      : reader_(reader), destDir_(std::move(destDir)), password_(password), meter_(meter) {
    while (destDir_.size() > 1 && (destDir_.back() == L'/' || destDir_.back() == L'\\')) destDir_.pop_back();
  }

  PackageEntryOutcome Write(const ZipEntry& entry) {
    std::vector<std::wstring> segments;
    if (!SplitZipEntryPath(entry.name, segments)) return PackageEntryOutcome::UnsafeName;
    if (entry.IsFolder()) return MakeFolders(segments, segments.size()) ? PackageEntryOutcome::FolderCreated
                                                                         : PackageEntryOutcome::CannotCreate;
    if (segments.empty()) return PackageEntryOutcome::UnsafeName;
    if (!MakeFolders(segments, segments.size() - 1)) return PackageEntryOutcome::CannotCreate;
    const std::wstring target = Join(segments, segments.size());
    const ZipTargetState state = ProbeZipTarget(target);
    // Read-only files stay as they are; they are not made writable first.
    if (state == ZipTargetState::ReadOnly) return PackageEntryOutcome::KeptReadOnly;
    if (state == ZipTargetState::Folder) return PackageEntryOutcome::CannotCreate;
    ZipOutputFile file(target);
    if (!file.Create()) return PackageEntryOutcome::CannotCreate;
    const PackageEntryOutcome outcome = FromReader(
        reader_.Extract(entry, password_, file, [this](std::size_t n) { meter_.Add(n); }, meter_.ChunkLimit()));
    if (outcome != PackageEntryOutcome::Extracted) return outcome;
    const ZipFileAttributes attributes{entry.ReadOnly(), entry.Hidden(), entry.System()};
    switch (file.Commit(attributes)) {
      case ZipCommitResult::Committed: return PackageEntryOutcome::Extracted;
      case ZipCommitResult::TargetInUse: return PackageEntryOutcome::KeptInUse;
      case ZipCommitResult::Failed: break;
    }
    return PackageEntryOutcome::CannotCreate;
  }

 private:
  std::wstring Join(const std::vector<std::wstring>& segments, std::size_t count) const {
    std::wstring path = destDir_;
    for (std::size_t i = 0; i < count; ++i) {
      path += kZipPathSeparator;
      path += segments[i];
    }
    return path;
  }

  // The destination and the entry's folders, each created when missing and held from then until
  // the extraction ends, so that none can be swapped for a link while files go into it.
  bool MakeFolders(const std::vector<std::wstring>& segments, std::size_t count) {
    for (std::size_t i = 0; i <= count; ++i) {
      const std::wstring path = Join(segments, i);
      const auto held = held_.find(path);
      if (held != held_.end()) {
        if (!held->second.StillInPlace()) return false;
        continue;
      }
      ZipHeldFolder folder;
      if (!folder.Hold(path)) return false;
      held_.emplace(path, std::move(folder));
    }
    return true;
  }

  ZipReader& reader_;
  std::wstring destDir_;
  std::string_view password_;
  ProgressMeter& meter_;
  std::map<std::wstring, ZipHeldFolder> held_;
};

// Opens the archive and hands each entry to handle (which returns its outcome), keeping the
// totals and the progress.
template <typename Handler>
PackageExtraction ForEachEntry(ZipInput& input, const ZipPercentCallback& onTotalPercentDone,
                               const PackageEntryCallback& onEntry, const ZipStepCallback& betweenBlocks,
                               Handler handle) {
  PackageExtraction result;
  ZipReader reader(input);
  switch (reader.Open()) {
    case ZipDirectoryStatus::Ok: break;
    case ZipDirectoryStatus::NotZip: result.status = PackageArchiveStatus::NotZip; return result;
    case ZipDirectoryStatus::Damaged: result.status = PackageArchiveStatus::Damaged; return result;
  }

  std::uint64_t total = 0;
  for (const ZipEntry& e : reader.Entries()) total += e.compressedSize;
  ProgressMeter meter(total, onTotalPercentDone, betweenBlocks);
  meter.MoveTo(0);
  for (const ZipEntry& entry : reader.Entries()) {
    const std::uint64_t start = meter.Done();
    const PackageEntryOutcome outcome =
        reader.ClaimData(entry) ? handle(reader, entry, meter) : PackageEntryOutcome::Overlapping;
    meter.MoveTo(start + entry.compressedSize);
    if (outcome == PackageEntryOutcome::Extracted) {
      ++result.extracted;
    } else if (outcome == PackageEntryOutcome::FolderCreated) {
      ++result.folders;
    } else {
      ++result.skipped;
      if (outcome == PackageEntryOutcome::KeptReadOnly || outcome == PackageEntryOutcome::KeptInUse) ++result.kept;
    }
    if (onEntry) onEntry(entry.name, outcome);
  }
  return result;
}

// The archive at zipFile opened for action; a missing archive when it cannot be opened.
template <typename Action>
PackageExtraction WithArchiveFile(const std::wstring& zipFile, Action action) {
  ZipFileInput input;
  if (!input.Open(zipFile)) return PackageExtraction{PackageArchiveStatus::Missing};
  return action(input);
}

}  // namespace

PackageExtraction ExtractPackage(ZipInput& archive, const std::wstring& destDir, std::string_view password,
                                 const ZipPercentCallback& onTotalPercentDone, const PackageEntryCallback& onEntry,
                                 const ZipStepCallback& betweenBlocks) {
  std::unique_ptr<PackageWriter> writer;  // one for the whole archive: it holds the folders
  return ForEachEntry(archive, onTotalPercentDone, onEntry, betweenBlocks, [&](ZipReader& reader, const ZipEntry& entry, ProgressMeter& meter) {
    if (!writer) writer = std::make_unique<PackageWriter>(reader, destDir, password, meter);
    return writer->Write(entry);
  });
}

PackageExtraction ExtractPackage(const std::wstring& zipFile, const std::wstring& destDir, std::string_view password,
                                 const ZipPercentCallback& onTotalPercentDone, const PackageEntryCallback& onEntry,
                                 const ZipStepCallback& betweenBlocks) {
  return WithArchiveFile(zipFile, [&](ZipInput& archive) {
    return ExtractPackage(archive, destDir, password, onTotalPercentDone, onEntry, betweenBlocks);
  });
}

PackageExtraction CheckPackage(const std::wstring& zipFile, std::string_view password, const PackageEntryCallback& onEntry) {
  const auto check = [&](ZipReader& reader, const ZipEntry& entry, ProgressMeter&) {
    std::vector<std::wstring> segments;
    if (!SplitZipEntryPath(entry.name, segments) || (segments.empty() && !entry.IsFolder())) {
      return PackageEntryOutcome::UnsafeName;
    }
    if (entry.IsFolder()) return PackageEntryOutcome::FolderCreated;
    ZipDiscardSink discard;
    return FromReader(reader.Extract(entry, password, discard));
  };
  return WithArchiveFile(zipFile, [&](ZipInput& archive) { return ForEachEntry(archive, {}, onEntry, {}, check); });
}

bool UnzipPackage(ZipInput& archive, const std::wstring& destDir, const std::wstring& password,
                  const ZipPercentCallback& onTotalPercentDone, const ZipStepCallback& betweenBlocks) {
  return ExtractPackage(archive, destDir, common::WideToAnsi(password), onTotalPercentDone, {}, betweenBlocks).extracted > 0;
}

bool UnzipPackage(const std::wstring& zipFile, const std::wstring& destDir, const std::wstring& password,
                  const ZipPercentCallback& onTotalPercentDone, const ZipStepCallback& betweenBlocks) {
  const PackageExtraction result =
      ExtractPackage(zipFile, destDir, common::WideToAnsi(password), onTotalPercentDone, {}, betweenBlocks);
  return result.status == PackageArchiveStatus::Ok && result.skipped == result.kept &&
         result.extracted + result.folders > 0;
}

std::string_view PackageEntryOutcomeText(PackageEntryOutcome outcome) {
  switch (outcome) {
    case PackageEntryOutcome::Extracted: return "extracted";
    case PackageEntryOutcome::FolderCreated: return "folder";
    case PackageEntryOutcome::WrongPassword: return "wrong password";
    case PackageEntryOutcome::Unsupported: return "unsupported method or encryption";
    case PackageEntryOutcome::Damaged: return "damaged data";
    case PackageEntryOutcome::CannotCreate: return "cannot create the file";
    case PackageEntryOutcome::UnsafeName: return "name outside the destination folder";
    case PackageEntryOutcome::Overlapping: return "data overlaps another entry";
    case PackageEntryOutcome::KeptReadOnly: return "read-only file kept";
    case PackageEntryOutcome::KeptInUse: return "file in use kept";
  }
  return "unknown";
}

}  // namespace zip
