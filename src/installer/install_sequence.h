// The install sequence of the main window: free space, package (embedded or downloaded),
// extraction, registration, finish page and the start of the installed program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "installer/form_state.h"

namespace net {
struct DownloadInfo;
}

namespace installer {

class TInstallSequence {
 public:
  explicit TInstallSequence(TFormState& state) : state_(state) {}

  void install();
  void writeInstallInfo();
  std::wstring findInstallDrive() const;
  void changeInstallDir();  // the user picks the folder that receives the product
  void leaveFinished();     // the finish page's exit

  // Download and extraction progress (GUI thread).
  void downloadBegun(std::int64_t workCountMax);
  void downloadProgress(std::int64_t workCount);
  void downloadFinished(std::int64_t responseCode);
  void unzipPercentDone(int percent);

 private:
  // What the accepted lookup announced for the package now in packageFile; nothing when the
  // download failed (reported and told).
  std::optional<net::DownloadInfo> downloadPackage(const std::wstring& packageFile);
  void startInstalledProgram();
  // When dir may not receive the product: says why and, unattended, fails; true then.
  bool refuseInstallDir(const std::wstring& dir);
  void moveProgress(int from, int to);
  void waitingInfo(const std::wstring& text);

  TFormState& state_;
  std::int64_t FTmpWorkCountMax = 0;
};

}  // namespace installer
