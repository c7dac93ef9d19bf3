#include "net/winhttp_setup.h"

namespace net {

WinHttpSetup WinHttpSetupFor(unsigned major, unsigned minor) {
  const bool windows81OrLater = major > 6 || (major == 6 && minor >= 3);
  return {windows81OrLater, !windows81OrLater};
}

}  // namespace net
