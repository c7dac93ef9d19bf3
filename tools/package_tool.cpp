// The maker's package tool: checks or extracts a package with its password, prints each entry's
// outcome and the totals. Exit code 0 when at least one file came through, 1 when none did, 2 for
// bad usage.
//   package-tool extract ARCHIVE DEST PASSWORD
//   package-tool check ARCHIVE PASSWORD
#include <cstdio>
#include <string>
#include <string_view>

#include "common/text.h"
#include "zip/unzip_package.h"

namespace {

int Usage() {
  std::fputs("usage: package-tool extract ARCHIVE DEST PASSWORD\n       package-tool check ARCHIVE PASSWORD\n", stderr);
  return 2;
}

std::wstring Wide(const char* argument) { return common::AnsiToWide(argument); }

const char* ArchiveError(zip::PackageArchiveStatus status) {
  switch (status) {
    case zip::PackageArchiveStatus::Missing: return "cannot open the archive";
    case zip::PackageArchiveStatus::NotZip: return "not a ZIP archive";
    case zip::PackageArchiveStatus::Damaged: return "damaged archive directory";
    case zip::PackageArchiveStatus::Ok: break;
  }
  return "";
}

int Report(const char* archive, const zip::PackageExtraction& result, const char* verb) {
  if (result.status != zip::PackageArchiveStatus::Ok) {
    std::printf("error %s: %s\n", archive, ArchiveError(result.status));
    return 1;
  }
  std::printf("%d files %s, %d folders, %d skipped\n", result.extracted, verb, result.folders, result.skipped);
  return result.extracted > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  const bool extract = command == "extract" && argc == 5;
  const bool check = command == "check" && argc == 4;
  if (!extract && !check) return Usage();

  const char* done = extract ? "extracted" : "checked";
  auto print = [done](const std::wstring& name, zip::PackageEntryOutcome outcome) {
    const std::string utf8 = common::WideToUtf8(name);
    if (outcome == zip::PackageEntryOutcome::Extracted || outcome == zip::PackageEntryOutcome::FolderCreated) {
      std::printf("%s %s\n", done, utf8.c_str());
    } else {
      const std::string_view reason = zip::PackageEntryOutcomeText(outcome);
      std::printf("skipped %s: %.*s\n", utf8.c_str(), static_cast<int>(reason.size()), reason.data());
    }
  };
  const char* archive = argv[2];
  const std::string password = argv[extract ? 4 : 3];
  const zip::PackageExtraction result =
      extract ? zip::ExtractPackage(Wide(archive), Wide(argv[3]), password, {}, print)
              : zip::CheckPackage(Wide(archive), password, print);
  return Report(archive, result, done);
}
