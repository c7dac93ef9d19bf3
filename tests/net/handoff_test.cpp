// Hand-off of calls from workers to the GUI thread, in both builds (a real message-only window
// under Wine, the queue on the host).
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

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

// Blocking work beside the GUI thread: the caller keeps serving hand-offs (the work's own among
// them, which would otherwise never return) and gets control back only when the work is over.
TEST(RunBesideGuiThread, WorkRunsElsewhereWhileTheCallerServesHandOffs) {
  sys::InitGuiThread();
  const auto gui = std::this_thread::get_id();
  std::thread::id workOn;
  std::vector<std::thread::id> servedOn;
  bool workFinished = false;
  EXPECT_TRUE(sys::RunBesideGuiThread([&] {
    workOn = std::this_thread::get_id();
    for (int i = 0; i < 3; ++i) sys::RunOnGuiThread([&] { servedOn.push_back(std::this_thread::get_id()); });
    workFinished = true;
  }));
  EXPECT_TRUE(workFinished);
  EXPECT_NE(workOn, gui);
  EXPECT_EQ(servedOn, (std::vector<std::thread::id>{gui, gui, gui}));
}

TEST(RunBesideGuiThread, AnExceptionOfTheWorkStaysOnItsThread) {
  sys::InitGuiThread();
  EXPECT_FALSE(sys::RunBesideGuiThread([] { throw std::runtime_error("request failed"); }));
  EXPECT_TRUE(sys::RunBesideGuiThread([] {}));
}

TEST(RunBesideGuiThread, WorkersOfOtherCallsAreServedMeanwhile) {
  // A report started earlier hands its completion over while the caller waits for its own work.
  sys::InitGuiThread();
  std::atomic<bool> reportDelivered{false};
  std::thread report([&] { sys::RunOnGuiThread([&] { reportDelivered = true; }); });
  EXPECT_TRUE(sys::RunBesideGuiThread([&] {
    while (!reportDelivered) std::this_thread::yield();
  }));
  report.join();
}

#ifdef _WIN32
std::atomic<int> g_dispatched{0};

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_APP) ++g_dispatched;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(RunBesideGuiThread, WindowMessagesAreDispatchedAndAQuitStaysPending) {
  sys::InitGuiThread();
  WNDCLASSW wc{};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"BesideGuiThreadProbe";
  RegisterClassW(&wc);
  HWND window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  PostQuitMessage(7);
  // The work waits until the GUI thread has dispatched a message posted while it runs.
  EXPECT_TRUE(sys::RunBesideGuiThread([&] {
    PostMessageW(window, WM_APP, 0, 0);
    while (g_dispatched.load() == 0) Sleep(1);
  }));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
  DestroyWindow(window);
}
#endif

}  // namespace
