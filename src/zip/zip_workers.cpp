#include "zip/zip_workers.h"

#include <system_error>

namespace zip {

struct ZipWorkers::Job {
  explicit Job(Work w) : work(std::move(w)) {}
  Work work;
  // Under the mutex: the blocks read and not yet handed on, as (bytes, how many in a row), and
  // the end.
  std::vector<std::pair<std::size_t, std::size_t>> blocks;
  bool ended = false;
  ZipEntryOutcome outcome = ZipEntryOutcome::WriteFailed;
};

namespace {

void Append(std::vector<std::pair<std::size_t, std::size_t>>& blocks, std::size_t bytes) {
  if (!blocks.empty() && blocks.back().first == bytes) {
    ++blocks.back().second;
  } else {
    blocks.emplace_back(bytes, 1);
  }
}

}  // namespace

ZipWorkers::ZipWorkers(unsigned threads) {
  for (unsigned i = 0; i < threads; ++i) {
    try {
      threads_.emplace_back([this] { Serve(); });
    } catch (const std::system_error&) {
      break;  // the threads there are do the work; with none, the calling thread does
    }
  }
}

ZipWorkers::~ZipWorkers() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    queue_.clear();
  }
  queued_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

std::shared_ptr<ZipWorkers::Job> ZipWorkers::Submit(Work work) {
  auto job = std::make_shared<Job>(std::move(work));
  if (threads_.empty()) return job;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(job);
  }
  queued_.notify_one();
  return job;
}

void ZipWorkers::Serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    const std::shared_ptr<Job> job = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    const BlockObserver onRead = [this, &job](std::size_t bytes) {
      std::lock_guard blockLock(mutex_);
      Append(job->blocks, bytes);
      if (followed_ == job.get()) changed_.notify_all();
    };
    ZipEntryOutcome outcome = ZipEntryOutcome::WriteFailed;
    try {
      outcome = job->work(onRead, stop_);
    } catch (...) {
      // Nothing crosses the thread's edge: the entry fails like one whose file cannot be written.
    }
    lock.lock();
    job->outcome = outcome;
    job->ended = true;
    if (followed_ == job.get()) changed_.notify_all();
  }
}

std::optional<ZipEntryOutcome> ZipWorkers::Follow(Job& job, std::chrono::milliseconds wait,
                                                  const BlockObserver& onBlock) {
  if (threads_.empty()) {
    if (!job.ended) {
      job.outcome = job.work(onBlock, stop_);
      job.ended = true;
    }
    return job.outcome;
  }
  std::vector<std::pair<std::size_t, std::size_t>> blocks;
  bool ended = false;
  {
    std::unique_lock lock(mutex_);
    followed_ = &job;
    changed_.wait_for(lock, wait, [&job] { return !job.blocks.empty() || job.ended; });
    blocks.swap(job.blocks);
    ended = job.ended;
  }
  for (const auto& [bytes, count] : blocks) {
    for (std::size_t i = 0; i < count; ++i) onBlock(bytes);
  }
  if (!ended) return std::nullopt;
  return job.outcome;
}

}  // namespace zip
