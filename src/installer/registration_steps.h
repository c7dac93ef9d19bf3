// What an install registers with the system once the product's files are in place, and what an
// uninstall takes back: two lists of named steps, side by side, so that what stays behind is
// visible in one place. Every step is best effort: a failed one does not stop the others.
#pragma once

#include <span>
#include <string>

#include "installer/main_view.h"
#include "installer/message_pacer.h"

namespace installer {

class TConfigFile;

inline constexpr wchar_t kUninstallerName[] = L"unin.exe";
inline constexpr wchar_t kUninstallShortcutName[] = L"卸载软件";

// What the steps work on.
struct TRegistrationContext {
  const TConfigFile& config;
  std::wstring targetDir;      // the install folder, without trailing separator
  std::wstring mainProg;       // the installed main program (getMainProgPath)
  std::wstring installerDir;   // the running executable's folder, with its trailing separator
  std::wstring installerPath;  // the running executable
  MainView& view;              // the shell opens and message boxes of the steps
  TMessagePacer& pace;         // a step that repeats itself lets the window answer between rounds
};

struct TRegistrationStep {
  const wchar_t* name;
  void (*run)(const TRegistrationContext& context);
  // Install steps: the uninstall step that takes this one back, or null when what it made stays
  // (the reason is given beside the step).
  const wchar_t* undoneBy = nullptr;
};

// In the order the install runs them (writeInstallInfo).
std::span<const TRegistrationStep> InstallRegistrationSteps();
// In the order the uninstall runs them (doUninstall), for an install whose registration belongs to
// the folder being emptied.
std::span<const TRegistrationStep> UninstallRegistrationSteps();

// Runs steps in order, letting the window answer after each.
void RunRegistrationSteps(std::span<const TRegistrationStep> steps, const TRegistrationContext& context);

}  // namespace installer
