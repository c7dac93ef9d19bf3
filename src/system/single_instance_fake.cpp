// Claims kept in lists that tests read and script.
#include <algorithm>

#include "system/single_instance.h"
#include "system/single_instance_fake.h"

namespace sys {

namespace fake_instances {

State& Instances() {
  static State state;
  return state;
}

void Reset() { Instances() = State(); }

}  // namespace fake_instances

namespace {

bool Holds(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

struct ProductInstance::Held {
  std::wstring name;
};

ProductInstance::ProductInstance(std::wstring_view productId) {
  fake_instances::State& state = fake_instances::Instances();
  const std::wstring name = InstanceName(productId);
  if (Holds(state.heldHere, name)) {
    claim_ = InstanceClaim::kRunningHere;
  } else if (Holds(state.heldElsewhere, name)) {
    claim_ = InstanceClaim::kRunningElsewhere;
  } else {
    state.heldHere.push_back(name);
    held_ = std::make_unique<Held>(Held{name});
  }
}

ProductInstance::~ProductInstance() {
  if (!held_) return;
  auto& here = fake_instances::Instances().heldHere;
  here.erase(std::remove(here.begin(), here.end(), held_->name), here.end());
}

bool BringRunningInstanceToFront(std::wstring_view productId) {
  fake_instances::State& state = fake_instances::Instances();
  const std::wstring name = InstanceName(productId);
  if (!Holds(state.heldHere, name) || !Holds(state.shownHere, name)) return false;
  state.broughtToFront.push_back(name);
  return true;
}

}  // namespace sys
