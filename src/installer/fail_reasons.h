// The fatal failures of the install operation: the reason code sent with the "install_fail"
// report, the message the user then sees and the exit code the process ends with.
#pragma once

#include <string_view>

#include "installer/exit_codes.h"

namespace installer {

enum class FatalFailure { kCreateResFile, kGetSoftDownloadInfo, kUrlEmpty, kDownloadZipFail, kZipFileNotExist, kUnzipFailed,
                          kInstallDirRefused };

// How the message reaches the user: the standard message box (application title as caption) or
// the skinned message dialog.
enum class MessageKind { kMessageBox, kMessageDialog };

struct FailReason {
  std::wstring_view reason;  // reason parameter of the "install_fail" report
  int errorNumber;           // err parameter of the report
  MessageKind kind;
  std::wstring_view message;  // empty: the caller names the problem
  ExitCode exitCode;
};

const FailReason& ReasonOf(FatalFailure failure);

}  // namespace installer
