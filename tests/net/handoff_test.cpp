// Hand-off of calls from workers to the GUI thread, in both builds (a real message-only window
// under Wine, the queue on the host).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
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

// The message loop serves the hand-offs of workers, as the main window's loop must while a
// download runs, and ends when its condition holds.
TEST(MessageLoop, ServesHandOffsUntilItsConditionHolds) {
  sys::InitGuiThread();
  bool done = false;  // touched on the GUI thread only, through the hand-off
  std::thread worker([&] { sys::RunOnGuiThread([&] { done = true; }); });
  EXPECT_EQ(sys::RunMessageLoop([&] { return done; }), std::nullopt);
  worker.join();
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

// A message-only window that counts the WM_APP messages dispatched to it.
class CountingWindow {
 public:
  CountingWindow() {
    g_dispatched = 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MessageLoopProbe";
    RegisterClassW(&wc);
    handle_ = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  ~CountingWindow() { DestroyWindow(handle_); }
  CountingWindow(const CountingWindow&) = delete;
  CountingWindow& operator=(const CountingWindow&) = delete;
  HWND Handle() const { return handle_; }

 private:
  HWND handle_ = nullptr;
};

// A modal loop inside the main loop: a quit ends the inner one only after the messages posted
// before it, and the inner loop hands its code on; a loop ended by its condition leaves the quit
// for the loop outside.
TEST(MessageLoop, AQuitEndsItWithItsCodeAfterWhatWasPostedBefore) {
  sys::InitGuiThread();
  CountingWindow window;
  ASSERT_NE(window.Handle(), nullptr);
  PostMessageW(window.Handle(), WM_APP, 0, 0);
  PostMessageW(window.Handle(), WM_APP, 0, 0);
  PostQuitMessage(9);
  EXPECT_EQ(sys::RunMessageLoop([] { return false; }), std::optional<int>(9));
  EXPECT_EQ(g_dispatched.load(), 2);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was taken off the queue";

  PostQuitMessage(3);
  EXPECT_EQ(sys::RunMessageLoop([] { return true; }), std::nullopt);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

// A message that an earlier look left in the queue (a peek without removing it) must end the
// wait at once: otherwise the GUI thread sleeps the whole timeout with input waiting.
TEST(WaitAndProcessMessages, AMessageAlreadyLookedAtEndsTheWait) {
  sys::InitGuiThread();
  CountingWindow window;
  ASSERT_NE(window.Handle(), nullptr);
  PostMessageW(window.Handle(), WM_APP, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  constexpr unsigned kTimeoutMs = 30000;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(sys::WaitAndProcessMessages(kTimeoutMs));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kTimeoutMs));
  EXPECT_EQ(g_dispatched.load(), 1);
}
#endif

}  // namespace
