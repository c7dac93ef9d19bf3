// The uninstall sequence of the main window: the timed progress, the removal steps, and leaving
// the finished uninstaller.
#pragma once

#include "installer/form_state.h"

namespace installer {

class TUninstallSequence {
 public:
  explicit TUninstallSequence(TFormState& state) : state_(state) {}

  void uninstall();
  void doUninstall();
  void leaveFinished();  // the finish page's exit: the web page, the window, the uninstaller itself

 private:
  void moveUninstallProgress(int from, int to, int sleepMs);

  TFormState& state_;
};

}  // namespace installer
