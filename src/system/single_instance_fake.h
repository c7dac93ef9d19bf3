// The host build's stand-in for the named objects that keep one run per product: claims live in
// this process, and a test can play a run in this session or in another one.
#pragma once

#include <string>
#include <vector>

namespace sys::fake_instances {

struct State {
  std::vector<std::wstring> heldHere;       // instance names held by runs in this session
  std::vector<std::wstring> heldElsewhere;  // instance names held by runs in other sessions
  std::vector<std::wstring> shownHere;      // names whose run in this session shows a window
  std::vector<std::wstring> broughtToFront;  // every successful BringRunningInstanceToFront, in order
};

State& Instances();
void Reset();

}  // namespace sys::fake_instances
