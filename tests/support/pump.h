// Serving GUI-thread hand-offs from a test, which plays the GUI thread.
#pragma once

#include <chrono>
#include <functional>

#include "system/gui_thread.h"

namespace testsupport {

// Serves hand-offs until done() holds or timeoutMs has passed; done()'s final value.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    sys::WaitAndProcessMessages(20);
  }
  return true;
}

}  // namespace testsupport
