// The maker's package tool: checks or extracts a package with its password, prints each entry's
// outcome and the totals. Exit code 0 when every entry came through and there was at least one
// (and, for check with a product folder, the main program is in the package); 1 when any entry
// was skipped, the archive could not be read, or it holds nothing; 2 for bad usage.
//   package-tool extract ARCHIVE DEST PASSWORD      DEST is created when missing
//   package-tool check ARCHIVE PASSWORD [PRODUCT_DIR]
// check also warns of names that each Windows would read in its own code page, finds the product's
// main program (MainProgPath + MainProg of PRODUCT_DIR/configfile.json) among the entries, and
// prints the archive's SHA-256, which the API server may publish with the download address.
// And the package signatures (keygen and sign in the host build only):
//   package-tool keygen DIR                       writes DIR/package-key.pem, prints the PackageKey value
//   package-tool sign KEY.pem PACKAGE             prints the "sig" value of PACKAGE
//   package-tool verify PACKAGEKEY PACKAGE SIG    exit 0 when SIG is the signature of PACKAGE, 1 when not
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/text.h"
#include "installer/config_file.h"
#include "installer/file_digest.h"
#ifndef _WIN32
#include "package_signer.h"
#endif
#include "system/run_folder.h"
#include "zip/unzip_package.h"
#include "zip/zip_directory.h"
#include "zip/zip_files.h"
#include "zip/zip_names.h"

namespace {

std::wstring Wide(const char* argument) { return common::AnsiToWide(argument); }

int Usage() {
  std::fputs(
      "usage: package-tool extract ARCHIVE DEST PASSWORD\n"
      "       package-tool check ARCHIVE PASSWORD [PRODUCT_DIR]\n"
#ifndef _WIN32
      "       package-tool keygen DIR\n"
      "       package-tool sign KEY.pem PACKAGE\n"
#endif
      "       package-tool verify PACKAGEKEY PACKAGE SIG\n",
      stderr);
  return 2;
}

// keygen, sign and verify, with their arguments (after the command's name).
int SignatureCommand(std::string_view command, int argc, char** argv) {
#ifndef _WIN32
  std::string error;
  if (command == "keygen" && argc == 1) {
    const std::optional<std::string> packageKey = tools::GeneratePackageKey(argv[0], error);
    if (!packageKey) {
      std::fprintf(stderr, "package-tool: %s\n", error.c_str());
      return 1;
    }
    std::printf("%s\n", packageKey->c_str());
    std::fprintf(stderr,
                 "wrote %s/package-key.pem: keep it secret and safe. The line above is the product's "
                 "\"PackageKey\" in configfile.json.\n",
                 argv[0]);
    return 0;
  }
  if (command == "sign" && argc == 2) {
    const std::optional<std::string> sig = tools::SignPackage(argv[0], argv[1], error);
    if (!sig) {
      std::fprintf(stderr, "package-tool: %s\n", error.c_str());
      return 1;
    }
    std::printf("%s\n", sig->c_str());
    return 0;
  }
#endif
  if (command == "verify" && argc == 3) {
    const std::wstring packageKey = Wide(argv[0]);
    if (!installer::ParsePackageKey(packageKey)) {
      std::fputs("package-tool: PACKAGEKEY is not a package key (128 hex digits, a point of P-256)\n", stderr);
      return 2;
    }
    const std::unique_ptr<sys::SealedFile> package = sys::SealedFile::Open(Wide(argv[1]));
    if (!installer::PackageFileMatches(package.get(), L"", packageKey, Wide(argv[2]))) {
      std::printf("signature does not match %s\n", argv[1]);
      return 1;
    }
    std::printf("signature matches %s\n", argv[1]);
    return 0;
  }
  return Usage();
}

std::string Utf8(const std::wstring& text) { return common::WideToUtf8(text); }

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
  return result.skipped == 0 && result.extracted + result.folders > 0 ? 0 : 1;
}

std::vector<zip::ZipEntry> Entries(const std::wstring& archive) {
  std::vector<zip::ZipEntry> entries;
  zip::ZipFileInput input;
  if (input.Open(archive)) zip::ReadZipDirectory(input, entries);
  return entries;
}

// Names without the UTF-8 flag: Info-ZIP's zip, for one, writes them so.
void WarnOfCodePageNames(const std::vector<zip::ZipEntry>& entries) {
  for (const zip::ZipEntry& entry : entries) {
    if (!zip::NameDependsOnCodePage(entry.rawName, (entry.flags & 0x800) != 0, entry.name)) continue;
    std::printf("warning %s: name stored without the UTF-8 flag; each Windows reads it in its own code page, so it "
                "may be installed under another name (pack with 7z, see docs/maker.md)\n",
                entry.rawName.c_str());
  }
}

std::wstring Folded(std::wstring name) {
  for (wchar_t& c : name) {
    if (c == L'\\') c = L'/';
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return name;
}

// The main program must be a file entry that came through; Windows compares names without case.
bool CheckMainProgram(const std::filesystem::path& productDir, const std::vector<zip::ZipEntry>& entries,
                      const std::map<std::wstring, zip::PackageEntryOutcome>& outcomes) {
  std::ifstream file(productDir / "configfile.json", std::ios::binary);
  const std::string config((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::wstring wanted = installer::MainProgInPackage(config);
  if (wanted.empty()) {
    std::printf("error %s: no readable configuration with MainProg\n", Utf8((productDir / L"configfile.json").wstring()).c_str());
    return false;
  }
  const std::wstring fileName = Folded(wanted.substr(wanted.find_last_of(L'/') + 1));
  std::wstring elsewhere;
  for (const zip::ZipEntry& entry : entries) {
    const std::wstring name = Folded(entry.name);
    if (entry.IsFolder()) continue;
    if (name == Folded(wanted)) {
      const auto outcome = outcomes.find(entry.name);
      const bool whole = outcome != outcomes.end() && outcome->second == zip::PackageEntryOutcome::Extracted;
      std::printf(whole ? "found main program %s\n" : "error main program %s: skipped\n", Utf8(entry.name).c_str());
      return whole;
    }
    if (name == fileName || name.ends_with(L"/" + fileName)) elsewhere = entry.name;
  }
  std::printf("error main program %s (MainProgPath + MainProg) is not in the package%s\n", Utf8(wanted).c_str(),
              elsewhere.empty() ? "" : (" (it holds " + Utf8(elsewhere) + ")").c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  if (command == "keygen" || command == "sign" || command == "verify") return SignatureCommand(command, argc - 2, argv + 2);
  const bool extract = command == "extract" && argc == 5;
  const bool check = command == "check" && (argc == 4 || argc == 5);
  if (!extract && !check) return Usage();

  const char* done = extract ? "extracted" : "checked";
  std::map<std::wstring, zip::PackageEntryOutcome> outcomes;
  auto print = [done, &outcomes](const std::wstring& name, zip::PackageEntryOutcome outcome) {
    outcomes[name] = outcome;
    const std::string utf8 = Utf8(name);
    if (outcome == zip::PackageEntryOutcome::Extracted || outcome == zip::PackageEntryOutcome::FolderCreated) {
      std::printf("%s %s\n", done, utf8.c_str());
    } else {
      const std::string_view reason = zip::PackageEntryOutcomeText(outcome);
      std::printf("skipped %s: %.*s\n", utf8.c_str(), static_cast<int>(reason.size()), reason.data());
    }
  };
  const char* archive = argv[2];

  if (extract) {
    std::error_code ignored;  // a DEST that cannot be made fails every entry, each with its line
    std::filesystem::create_directories(std::filesystem::path(Wide(argv[3])), ignored);
    return Report(archive, zip::ExtractPackage(Wide(archive), Wide(argv[3]), argv[4], {}, print), done);
  }

  const zip::PackageExtraction result = zip::CheckPackage(Wide(archive), argv[3], print);
  int code = Report(archive, result, done);
  if (result.status != zip::PackageArchiveStatus::Ok) return code;
  const std::vector<zip::ZipEntry> entries = Entries(Wide(archive));
  WarnOfCodePageNames(entries);
  if (argc == 5 && !CheckMainProgram(std::filesystem::path(Wide(argv[4])), entries, outcomes)) code = 1;
  std::printf("sha256 %s\n", Utf8(installer::FileSha256Hex(Wide(archive))).c_str());
  return code;
}
