// Polling for a condition that another process brings about.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace test_support {

// True as soon as condition holds; false when it still does not after timeout.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace test_support
