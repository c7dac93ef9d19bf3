#include "system/associations_fake.h"

#include "system/associations.h"

namespace sys {

namespace {

int& Notifications() {
  static int count = 0;
  return count;
}

}  // namespace

namespace fake_shell {

int AssociationNotifications() { return Notifications(); }

void ResetNotifications() { Notifications() = 0; }

}  // namespace fake_shell

void NotifyShellAssocChanged() { ++Notifications(); }

}  // namespace sys
