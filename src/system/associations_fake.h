// The host build's shell notifications: how often associations were announced as changed.
#pragma once

namespace sys::fake_shell {

int AssociationNotifications();
void ResetNotifications();

}  // namespace sys::fake_shell
