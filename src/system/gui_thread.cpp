// Blocking work beside the GUI thread, on top of the hand-off of either build.
#include <chrono>
#include <system_error>
#include <thread>

#include "system/gui_thread.h"

namespace sys {

bool RunBesideGuiThread(const std::function<void()>& work) {
  InitGuiThread();
  bool ok = true;
  bool done = false;  // set on the GUI thread, through the hand-off that ends the worker
  const auto body = [&] {
    try {
      work();
    } catch (...) {
      ok = false;
    }
    RunOnGuiThread([&done] { done = true; });
  };
  std::thread worker;
  try {
    worker = std::thread(body);
  } catch (const std::system_error&) {
    body();
    return ok;
  }
  while (!done) {
    // With a quit request pending the wait would return at once, again and again: look less often.
    if (!WaitAndProcessMessages(1000)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  worker.join();
  return ok;
}

}  // namespace sys
