// Decoding of entries on worker threads, followed from the calling thread. The calling thread
// hands each entry's decoding over as a job and then follows the jobs one at a time, in the order
// it chooses: it learns the blocks of archive a job has read, in the order they were read, and the
// job's outcome once it has ended. Everything that must happen in archive order (progress, the
// outcome of each entry, moving files into place) stays on the calling thread; the workers only
// decode, so the calling thread (a window's) is free to answer while they do.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "zip/zip_reader.h"

namespace zip {

class ZipWorkers {
 public:
  using BlockObserver = std::function<void(std::size_t bytes)>;
  // The decoding: it reports every block of archive read to onRead and should end soon, with a
  // failure, once stop is set.
  using Work = std::function<ZipEntryOutcome(const BlockObserver& onRead, const std::atomic<bool>& stop)>;
  struct Job;

  // threads 0: no thread; each job runs on the calling thread when it is followed first.
  explicit ZipWorkers(unsigned threads);
  // Sets stop for the jobs running, drops those queued and waits for the threads to end.
  ~ZipWorkers();
  ZipWorkers(const ZipWorkers&) = delete;
  ZipWorkers& operator=(const ZipWorkers&) = delete;

  unsigned Threads() const { return static_cast<unsigned>(threads_.size()); }

  // Queues the work; the workers take jobs in the order they were queued.
  std::shared_ptr<Job> Submit(Work work);

  // Hands the blocks that the job has read since the last call to onBlock, on the calling thread,
  // after waiting up to wait for the job to read one or to end. Returns the outcome once the job
  // has ended and every block has been handed on; nothing before.
  std::optional<ZipEntryOutcome> Follow(Job& job, std::chrono::milliseconds wait, const BlockObserver& onBlock);

 private:
  void Serve();

  std::mutex mutex_;
  std::condition_variable queued_;   // workers wait here for jobs
  std::condition_variable changed_;  // the calling thread waits here for the job it follows
  std::deque<std::shared_ptr<Job>> queue_;
  const Job* followed_ = nullptr;
  std::atomic<bool> stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace zip
