// Start-up of the main window: the run mode, the skin, the configuration, one run per product,
// and the page the window opens on, or the early end of the run.
#pragma once

#include <string>

#include "installer/form_state.h"

namespace installer {

class TStartUp {
 public:
  explicit TStartUp(TFormState& state) : state_(state) {}

  void run();

 private:
  // The run mode from the executable's name and first argument, and the skin.
  void prepareWindow(const std::wstring& firstArgument);
  // The configuration; false when it is unusable or another run has the product (told, quitting).
  bool loadProduct();
  bool claimProduct(const std::wstring& softId);  // false when another run has the product
  // The install page with its default folder; false when the run ends here.
  bool prepareInstall(const std::wstring& firstArgument);
  // The uninstall page; false when this folder holds no install of the product.
  bool prepareUninstall();
  // The product's texts and title, once the page is chosen.
  void showProduct();

  TFormState& state_;
};

}  // namespace installer
