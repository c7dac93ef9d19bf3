#include <windows.h>

#include "system/message_box_system.h"

namespace sys {

int SystemMessageBox(const MessageBoxRequest& request) {
  return MessageBoxW(static_cast<HWND>(request.owner), request.text.c_str(), request.caption.c_str(),
                     request.style);
}

}  // namespace sys
