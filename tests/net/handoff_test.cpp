// Hand-off of calls from workers to the GUI thread, in both builds (a real message-only window
// under Wine, the queue on the host).
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "support/pump.h"
#include "system/gui_thread.h"
#include "system/worker_thread.h"

namespace {

using testsupport::PumpUntil;

TEST(GuiThreadHandOff, WorkerBlocksUntilTheGuiThreadRunsTheCall) {
  sys::InitGuiThread();
  const auto gui = std::this_thread::get_id();
  std::thread::id ranOn;
  std::atomic<bool> workerPastCall{false};
  std::thread worker([&] {
    sys::RunOnGuiThread([&] { ranOn = std::this_thread::get_id(); });
    workerPastCall = true;
  });
  // Nobody serves yet: the worker must still be waiting.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(workerPastCall.load());
  EXPECT_TRUE(PumpUntil([&] { return workerPastCall.load(); }));
  worker.join();
  EXPECT_EQ(ranOn, gui);
}

TEST(GuiThreadHandOff, CallOnTheGuiThreadRunsAtOnce) {
  sys::InitGuiThread();
  bool ran = false;
  sys::RunOnGuiThread([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST(GuiThreadHandOff, ThrowingCallDoesNotReachTheWorkerAndLaterCallsStillRun) {
  sys::InitGuiThread();
  std::atomic<int> done{0};
  bool secondRan = false;
  std::thread worker([&] {
    sys::RunOnGuiThread([] { throw std::runtime_error("handler failed"); });
    ++done;
    sys::RunOnGuiThread([&] { secondRan = true; });
    ++done;
  });
  EXPECT_TRUE(PumpUntil([&] { return done.load() == 2; }));
  worker.join();
  EXPECT_TRUE(secondRan);
}

TEST(GuiThreadHandOff, ManyWorkersAreServedOneCallAtATime) {
  sys::InitGuiThread();
  int counter = 0;  // touched only on the GUI thread, so no lock
  std::atomic<int> finished{0};
  constexpr int kWorkers = 4, kCalls = 50;
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w)
    workers.emplace_back([&] {
      for (int i = 0; i < kCalls; ++i) sys::RunOnGuiThread([&] { ++counter; });
      ++finished;
    });
  EXPECT_TRUE(PumpUntil([&] { return finished.load() == kWorkers; }));
  for (auto& t : workers) t.join();
  EXPECT_EQ(counter, kWorkers * kCalls);
}

class Probe : public sys::WorkerThread {
 public:
  explicit Probe(std::atomic<bool>& ran) : ran_(ran) {}

 protected:
  void Execute() override {
    sys::RunOnGuiThread([this] { ran_ = true; });
  }

 private:
  std::atomic<bool>& ran_;
};

TEST(WorkerThread, RunsItsBodyAndDeletesItself) {
  sys::InitGuiThread();
  const int before = sys::WorkerThread::LiveCount();
  std::atomic<bool> ran{false};
  (new Probe(ran))->Resume();
  EXPECT_TRUE(PumpUntil([&] { return ran.load() && sys::WorkerThread::LiveCount() == before; }));
}

}  // namespace
