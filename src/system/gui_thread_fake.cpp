// GUI-thread hand-off for host builds: workers queue their calls and block; the thread that tests
// treat as the GUI thread runs them when it pumps.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "system/gui_thread.h"

namespace sys {
namespace {

struct Pending {
  const std::function<void()>* call;
  bool done = false;
};

std::mutex g_mutex;
std::condition_variable g_changed;
std::deque<Pending*> g_queue;
std::thread::id g_guiThread;

void RunGuarded(const std::function<void()>& call) {
  try {
    call();
  } catch (...) {
  }
}

void ServeQueue() {
  std::unique_lock lock(g_mutex);
  while (!g_queue.empty()) {
    Pending* p = g_queue.front();
    g_queue.pop_front();
    lock.unlock();
    RunGuarded(*p->call);
    lock.lock();
    p->done = true;
    g_changed.notify_all();
  }
}

}  // namespace

void InitGuiThread() {
  std::lock_guard lock(g_mutex);
  g_guiThread = std::this_thread::get_id();
}

void RunOnGuiThread(const std::function<void()>& call) {
  std::unique_lock lock(g_mutex);
  if (std::this_thread::get_id() == g_guiThread) {
    lock.unlock();
    RunGuarded(call);
    return;
  }
  Pending pending{&call};
  g_queue.push_back(&pending);
  g_changed.notify_all();
  g_changed.wait(lock, [&] { return pending.done; });
}

std::optional<int> RunMessageLoop(const std::function<bool()>& done) {
  // The host has no quit requests: the loop serves hand-offs until done.
  while (!done()) WaitAndProcessMessages(10);
  return std::nullopt;
}

bool ProcessPendingMessages() {
  ServeQueue();
  return true;
}

bool WaitAndProcessMessages(unsigned timeoutMs) {
  {
    std::unique_lock lock(g_mutex);
    g_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return !g_queue.empty(); });
  }
  ServeQueue();
  return true;
}

}  // namespace sys
