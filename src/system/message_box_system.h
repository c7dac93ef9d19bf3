// The platform's own message box behind ShowMessageBox when no handler is set.
#pragma once

#include "system/message_box.h"

namespace sys {

// MessageBoxW in the Windows build; the host build has no screen and answers 0.
int SystemMessageBox(const MessageBoxRequest& request);

}  // namespace sys
