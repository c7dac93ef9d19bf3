// Keeps the window answering during long work on the GUI thread that goes in small steps (blocks
// of the package read, registration steps): after each step the window processes its pending
// messages once kPumpInterval has passed since it last did. It follows time, not progress, so the
// window answers within the interval plus one step however large the package or slow the disk,
// while the steps in between cost one reading of the clock.
#pragma once

#include <chrono>
#include <functional>

#include "installer/main_view.h"

namespace installer {

inline constexpr std::chrono::milliseconds kPumpInterval{25};

class TMessagePacer {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  explicit TMessagePacer(MainView& view, Clock clock = [] { return std::chrono::steady_clock::now(); });

  // One step of the work is done.
  void Step();

 private:
  MainView& view_;
  Clock clock_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace installer
