#include "zip/unzip_package.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "common/text.h"
#include "zip/zip_files.h"
#include "zip/zip_path.h"
#include "zip/zip_reader.h"
#include "zip/zip_workers.h"

namespace zip {
namespace {

constexpr std::uint64_t kReportEvery = 64 * 1024;
constexpr std::uint64_t kSmallestChunk = 4 * 1024;
constexpr unsigned kMostThreads = 4;
// Entries decoded or decoding beyond the first not yet reported: each holds its temporary file open.
constexpr std::size_t kEntriesAhead = 16;
// How long the calling thread waits for a worker before it takes a step of its own.
constexpr std::chrono::milliseconds kFollowWait{10};

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
    Idle();
  }
  // A step without progress: the calling thread waits for a worker.
  void Idle() {
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

// Passes content on until the workers are told to stop.
class StoppableSink : public ZipByteSink {
 public:
  StoppableSink(ZipByteSink& out, const std::atomic<bool>& stop) : out_(out), stop_(stop) {}
  bool Write(std::span<const std::uint8_t> data) override { return !stop_ && out_.Write(data); }

 private:
  ZipByteSink& out_;
  const std::atomic<bool>& stop_;
};

// What becomes of one entry: an outcome known at once, or the decoding of its data (on a worker)
// and then, on the calling thread and in archive order, finish, which gives the outcome.
struct EntryPlan {
  PackageEntryOutcome outcome = PackageEntryOutcome::Extracted;
  ZipWorkers::Work decode;
  std::function<PackageEntryOutcome(ZipEntryOutcome decoded)> finish;
};

EntryPlan Known(PackageEntryOutcome outcome) { return EntryPlan{outcome, {}, {}}; }

// A path as the file systems of either build might name it: without regard to case (Unicode's, not
// only ASCII's: NTFS folds 'É' and 'é' alike), and without
// the dots and spaces that end a name, which Windows drops. Related below goes further.
std::wstring Folded(const std::wstring& path) {
  std::wstring folded;
  const auto dropNameEnd = [&folded] {
    while (!folded.empty() && (folded.back() == L'.' || folded.back() == L' ')) folded.pop_back();
  };
  for (wchar_t c : common::FoldNameCase(path)) {
    if (c == L'/' || c == L'\\') dropNameEnd();
    folded += c;
  }
  dropNameEnd();
  return folded;
}

// Told the path that an entry creates or replaces before anything is done there.
using PathGate = std::function<void(const std::wstring& path)>;

class PackageWriter {
 public:
  PackageWriter(ZipReader& reader, std::wstring destDir, std::string_view password, std::size_t chunkLimit)
      : reader_(reader), destDir_(std::move(destDir)), password_(password), chunkLimit_(chunkLimit) {
    while (destDir_.size() > 1 && (destDir_.back() == L'/' || destDir_.back() == L'\\')) destDir_.pop_back();
    for (const ZipEntry& entry : reader_.Entries()) {
      std::vector<std::wstring> segments;
      if (!SplitZipEntryPath(entry.name, segments)) continue;
      for (std::size_t i = 1; i <= segments.size(); ++i) packagePaths_.insert(Folded(Join(segments, i)));
    }
  }

  EntryPlan Plan(const ZipEntry& entry, const PathGate& gate) {
    std::vector<std::wstring> segments;
    if (!SplitZipEntryPath(entry.name, segments)) return Known(PackageEntryOutcome::UnsafeName);
    if (entry.IsFolder()) {
      gate(Join(segments, segments.size()));
      return Known(MakeFolders(segments, segments.size()) ? PackageEntryOutcome::FolderCreated
                                                          : PackageEntryOutcome::CannotCreate);
    }
    if (segments.empty()) return Known(PackageEntryOutcome::UnsafeName);
    const std::wstring target = Join(segments, segments.size());
    gate(target);
    if (!MakeFolders(segments, segments.size() - 1)) return Known(PackageEntryOutcome::CannotCreate);
    const sys::PathState state = sys::ProbePath(target);
    // Read-only files stay as they are; they are not made writable first.
    if (state == sys::PathState::ReadOnly) return Known(PackageEntryOutcome::KeptReadOnly);
    if (state == sys::PathState::Folder) return Known(PackageEntryOutcome::CannotCreate);
    auto file = std::make_shared<ZipOutputFile>(target);
    if (!file->Create([this](const std::wstring& path) { return packagePaths_.contains(Folded(path)); })) {
      return Known(PackageEntryOutcome::CannotCreate);
    }
    EntryPlan plan;
    plan.decode = [this, &entry, file](const ZipWorkers::BlockObserver& onRead, const std::atomic<bool>& stop) {
      StoppableSink out(*file, stop);
      return reader_.Extract(entry, password_, out, onRead, chunkLimit_);
    };
    plan.finish = [&entry, file](ZipEntryOutcome decoded) {
      const PackageEntryOutcome outcome = FromReader(decoded);
      if (outcome != PackageEntryOutcome::Extracted) return outcome;
      switch (file->Commit({entry.ReadOnly(), entry.Hidden(), entry.System()})) {
        case sys::MoveResult::Moved: return PackageEntryOutcome::Extracted;
        case sys::MoveResult::TargetInUse: return PackageEntryOutcome::KeptInUse;
        case sys::MoveResult::Failed: break;
      }
      return PackageEntryOutcome::CannotCreate;
    };
    return plan;
  }

 private:
  std::wstring Join(const std::vector<std::wstring>& segments, std::size_t count) const {
    std::wstring path = destDir_;
    for (std::size_t i = 0; i < count; ++i) path = sys::JoinPath(path, segments[i]);
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
      sys::PinnedFolder folder;
      if (!folder.Hold(path)) return false;
      held_.emplace(path, std::move(folder));
    }
    return true;
  }

  ZipReader& reader_;
  std::wstring destDir_;
  std::string_view password_;
  std::size_t chunkLimit_;
  std::map<std::wstring, sys::PinnedFolder> held_;
  // Folded: every path that an entry puts a file or folder at, and the folders on its way.
  std::set<std::wstring> packagePaths_;
};

// Folded paths of which one might stand for the other: one begins the other (a folder and what
// is in it; a name and that name with a temporary suffix).
bool Related(const std::wstring& a, const std::wstring& b) {
  const std::size_t common = std::min(a.size(), b.size());
  return a.compare(0, common, b, 0, common) == 0;
}

// Opens the archive and hands each entry to the planner (plan(reader, chunkLimit, entry, gate) gives
// its EntryPlan), keeping the totals and the progress. Entries are decoded on threads workers (none:
// on the calling thread, one entry after the other), up to kEntriesAhead beyond the first entry not
// yet reported; everything else happens on the calling thread in archive order: the planning, the
// progress of each entry's blocks in the order they were read, each finish and each outcome. An
// entry whose path is related to that of an entry still in progress waits until all have been
// reported, so that the outcome is what extracting one entry after the other would give.
template <typename Planner>
PackageExtraction ForEachEntry(ZipInput& input, const ZipPercentCallback& onTotalPercentDone,
                               const PackageEntryCallback& onEntry, const ZipStepCallback& betweenBlocks,
                               unsigned threads, Planner plan) {
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

  struct Pending {
    const ZipEntry* entry = nullptr;
    std::wstring path;  // folded; empty when the entry has nothing more to do at a path
    EntryPlan plan;
    std::shared_ptr<ZipWorkers::Job> job;
    std::optional<std::uint64_t> start;  // progress when its first block was handed on
  };
  std::deque<Pending> pending;  // before the workers: they end first
  ZipWorkers workers(threads);
  const std::size_t ahead = workers.Threads() == 0 ? 1 : kEntriesAhead;

  // Hands on the progress of the first entry in progress and, once its decoding has ended,
  // finishes and reports it; false while it runs on.
  const auto advance = [&](std::chrono::milliseconds wait) {
    Pending& first = pending.front();
    if (!first.start) first.start = meter.Done();
    if (first.job) {
      const std::optional<ZipEntryOutcome> decoded =
          workers.Follow(*first.job, wait, [&meter](std::size_t bytes) { meter.Add(bytes); });
      if (!decoded) return false;
      first.plan.outcome = first.plan.finish(*decoded);
    }
    const std::wstring name = first.entry->name;
    const std::uint64_t end = *first.start + first.entry->compressedSize;
    const PackageEntryOutcome outcome = first.plan.outcome;
    pending.pop_front();  // what the entry left behind goes before it is reported
    meter.MoveTo(end);
    if (outcome == PackageEntryOutcome::Extracted) {
      ++result.extracted;
    } else if (outcome == PackageEntryOutcome::FolderCreated) {
      ++result.folders;
    } else {
      ++result.skipped;
      if (outcome == PackageEntryOutcome::KeptReadOnly || outcome == PackageEntryOutcome::KeptInUse) ++result.kept;
    }
    if (onEntry) onEntry(name, outcome);
    return true;
  };
  const auto finishFirst = [&] {
    // The calling thread's chance to answer comes also while it waits.
    while (!advance(kFollowWait)) meter.Idle();
  };

  for (const ZipEntry& entry : reader.Entries()) {
    while (pending.size() >= ahead) finishFirst();
    Pending next;
    next.entry = &entry;
    const PathGate gate = [&](const std::wstring& path) {
      next.path = Folded(path);
      const bool related = std::any_of(pending.begin(), pending.end(), [&](const Pending& p) {
        return !p.path.empty() && Related(p.path, next.path);
      });
      if (related) {
        while (!pending.empty()) finishFirst();
      }
    };
    next.plan = reader.ClaimData(entry) ? plan(reader, meter.ChunkLimit(), entry, gate)
                                        : Known(PackageEntryOutcome::Overlapping);
    if (next.plan.decode) {
      next.job = workers.Submit(std::move(next.plan.decode));
    } else {
      next.path.clear();  // done with its path already: later entries there cannot change its outcome
    }
    pending.push_back(std::move(next));
    while (!pending.empty() && advance(std::chrono::milliseconds(0))) {
    }
  }
  while (!pending.empty()) finishFirst();
  return result;
}

// The archive at zipFile opened for action; a missing archive when it cannot be opened.
template <typename Action>
PackageExtraction WithArchiveFile(const std::wstring& zipFile, Action action) {
  ZipFileInput input;
  if (!input.Open(zipFile)) return PackageExtraction{PackageArchiveStatus::Missing};
  return action(input);
}

// Every entry came through, but for files kept because they were read-only or in use, and at
// least one file or folder did.
bool Succeeded(const PackageExtraction& result) {
  return result.status == PackageArchiveStatus::Ok && result.skipped == result.kept &&
         result.extracted + result.folders > 0;
}

}  // namespace

unsigned ZipDecodingThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads); }

PackageExtraction ExtractPackage(ZipInput& archive, const std::wstring& destDir, std::string_view password,
                                 const ZipPercentCallback& onTotalPercentDone, const PackageEntryCallback& onEntry,
                                 const ZipStepCallback& betweenBlocks, unsigned threads) {
  std::unique_ptr<PackageWriter> writer;  // one for the whole archive: it holds the folders
  const auto plan = [&](ZipReader& reader, std::size_t chunkLimit, const ZipEntry& entry, const PathGate& gate) {
    if (!writer) writer = std::make_unique<PackageWriter>(reader, destDir, password, chunkLimit);
    return writer->Plan(entry, gate);
  };
  return ForEachEntry(archive, onTotalPercentDone, onEntry, betweenBlocks, threads, plan);
}

PackageExtraction ExtractPackage(const std::wstring& zipFile, const std::wstring& destDir, std::string_view password,
                                 const ZipPercentCallback& onTotalPercentDone, const PackageEntryCallback& onEntry,
                                 const ZipStepCallback& betweenBlocks, unsigned threads) {
  return WithArchiveFile(zipFile, [&](ZipInput& archive) {
    return ExtractPackage(archive, destDir, password, onTotalPercentDone, onEntry, betweenBlocks, threads);
  });
}

PackageExtraction CheckPackage(const std::wstring& zipFile, std::string_view password, const PackageEntryCallback& onEntry,
                               unsigned threads) {
  const auto check = [&](ZipReader& reader, std::size_t, const ZipEntry& entry, const PathGate&) {
    std::vector<std::wstring> segments;
    if (!SplitZipEntryPath(entry.name, segments) || (segments.empty() && !entry.IsFolder())) {
      return Known(PackageEntryOutcome::UnsafeName);
    }
    if (entry.IsFolder()) return Known(PackageEntryOutcome::FolderCreated);
    EntryPlan plan;
    plan.decode = [&reader, &entry, password](const ZipWorkers::BlockObserver&, const std::atomic<bool>& stop) {
      ZipDiscardSink discard;
      StoppableSink out(discard, stop);
      return reader.Extract(entry, password, out);
    };
    plan.finish = FromReader;
    return plan;
  };
  return WithArchiveFile(zipFile, [&](ZipInput& archive) { return ForEachEntry(archive, {}, onEntry, {}, threads, check); });
}

bool UnzipPackage(ZipInput& archive, const std::wstring& destDir, const std::wstring& password,
                  const ZipPercentCallback& onTotalPercentDone, const ZipStepCallback& betweenBlocks) {
  return Succeeded(ExtractPackage(archive, destDir, common::WideToAnsi(password), onTotalPercentDone, {}, betweenBlocks));
}

bool UnzipPackage(const std::wstring& zipFile, const std::wstring& destDir, const std::wstring& password,
                  const ZipPercentCallback& onTotalPercentDone, const ZipStepCallback& betweenBlocks) {
  return Succeeded(ExtractPackage(zipFile, destDir, common::WideToAnsi(password), onTotalPercentDone, {}, betweenBlocks));
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
