// Process exit codes of the installer and the uninstaller, one per outcome, for scripts and
// deployment tools that run the installer unattended and only see the exit code.
// The numbers are part of the installer's interface: never renumber or reuse one. A retired
// outcome stays here as a comment with its number.
#pragma once

namespace installer {

enum class ExitCode : int {
  kInstalled = 0,               // installed; the product was started (or its start was reported)
  kCancelled = 1,               // the window was closed before an install or uninstall finished
  kConfigEmpty = 2,             // the embedded product configuration is missing, empty or damaged
  kWindowsTooOld = 3,           // Windows major version 5 or lower and the product does not allow it
  kOpenedInstalled = 4,         // already installed: the user chose to open the installed program
  kNotEnoughSpace = 5,          // no drive with enough free space for the product
  kCreateResFile = 6,           // the embedded package could not be written out
  kGetSoftDownloadInfo = 7,     // the server gave no download address, and retrying did not help
  kUrlEmpty = 8,                // the download-information request failed
  kDownloadZipFail = 9,         // the package download failed, or the package did not match its digest or signature
  kZipFileNotExist = 10,        // the package file was missing when extraction was to start
  kUnzipFailed = 11,            // the package could not be extracted
  kUninstalled = 12,            // uninstalled
  kUnexpectedError = 13,        // an operation ended with an unexpected error
  kInstallDirRefused = 14,      // the install folder was refused (not local, invalid, protected, not empty...)
  kNothingInstalledHere = 15,   // the uninstaller was started where nothing of this product is installed
  kAlreadyRunning = 16,         // another installer or uninstaller of the product was running
};

inline int ToInt(ExitCode code) { return static_cast<int>(code); }

}  // namespace installer
