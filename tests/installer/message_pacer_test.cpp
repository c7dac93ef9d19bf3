// The pacer lets the window process messages by the clock, not by the number of steps: a package
// of many small blocks and one of few slow blocks both keep the window answering on time.
#include "installer/message_pacer.h"

#include <gtest/gtest.h>

#include <vector>

#include "recording_view.h"

namespace installer {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(MessagePacer, ProcessesMessagesOnceTheIntervalHasPassedWhateverTheStepCount) {
  struct Case {
    const char* what;
    std::vector<std::chrono::milliseconds> stepDurations;
    std::vector<int> pumpedAfterStep;  // 1-based step numbers after which messages were processed
  };
  const Case cases[] = {
      {"many quick steps", std::vector<std::chrono::milliseconds>(12, 5ms), {5, 10}},
      {"slow steps, each past the interval", {40ms, 30ms, 26ms}, {1, 2, 3}},
      {"just short of the interval, then across it", {24ms, 1ms, 24ms}, {2}},
      {"nothing yet due", {10ms, 10ms}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::RecordingView view;
    Clock::time_point now{};
    TMessagePacer pace(view, [&] { return now; });
    std::vector<int> pumped;
    for (std::size_t i = 0; i < c.stepDurations.size(); ++i) {
      now += c.stepDurations[i];
      const int before = view.processMessagesCalls;
      pace.Step();
      if (view.processMessagesCalls != before) pumped.push_back(static_cast<int>(i + 1));
    }
    EXPECT_EQ(pumped, c.pumpedAfterStep);
  }
}

TEST(MessagePacer, TheIntervalCountsFromTheEndOfTheLastPumping) {
  // Messages that took long to process do not make the next step pump at once.
  testing::RecordingView view;
  Clock::time_point now{};
  TMessagePacer pace(view, [&] { return now; });
  view.whileProcessingMessages = [&] { now += 20ms; };
  now += 25ms;
  pace.Step();
  ASSERT_EQ(view.processMessagesCalls, 1);
  now += 10ms;
  pace.Step();
  EXPECT_EQ(view.processMessagesCalls, 1);
  now += 15ms;
  pace.Step();
  EXPECT_EQ(view.processMessagesCalls, 2);
}

}  // namespace
}  // namespace installer
