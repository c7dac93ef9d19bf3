#include "system/message_box_system.h"

namespace sys {

// The host has no screen: no box is shown, as when MessageBoxW fails.
int SystemMessageBox(const MessageBoxRequest&) { return 0; }

}  // namespace sys
