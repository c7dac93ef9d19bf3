#include "installer/message_pacer.h"

#include <utility>

namespace installer {

TMessagePacer::TMessagePacer(MainView& view, Clock clock) : view_(view), clock_(std::move(clock)), last_(clock_()) {}

void TMessagePacer::Step() {
  const auto now = clock_();
  if (now - last_ < kPumpInterval) return;
  view_.ProcessMessages();
  last_ = clock_();
}

}  // namespace installer
