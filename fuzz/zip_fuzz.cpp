// libFuzzer target of the ZIP reader and the package extraction. Each input is read as an
// archive twice: in memory, every entry decoded with the package password into a sink that keeps
// nothing; then from disk through ExtractPackage into a folder inside a sandbox (decoding on worker
// threads or on the calling thread), after which the sandbox must hold nothing but the archive and
// what landed in that folder. Built and run by
// scripts/fuzz-zip.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "zip/unzip_package.h"
#include "zip/zip_reader.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMaxDiskOutput = 16 * 1024 * 1024;

const fs::path& Sandbox() {
  static const fs::path path = [] {
    // One per process, below ZIP_FUZZ_SANDBOX (scripts/fuzz-zip clears it) or the temporary folder.
    const char* root = std::getenv("ZIP_FUZZ_SANDBOX");
    fs::path p = (root ? fs::path(root) : fs::temp_directory_path()) / ("zip-fuzz-" + std::to_string(getpid()));
    fs::remove_all(p);
    fs::create_directories(p / "box" / "dest");
    return p;
  }();
  return path;
}

// Aborts when anything in the sandbox lies outside the archive file and the destination folder.
void CheckSandbox(const fs::path& sandbox) {
  const fs::path archive = sandbox / "archive.zip";
  const fs::path box = sandbox / "box";
  const fs::path dest = box / "dest";
  for (auto it = fs::recursive_directory_iterator(sandbox); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& p = it->path();
    if (p == archive || p == box || p == dest) continue;
    const auto [end, _] = std::mismatch(dest.begin(), dest.end(), p.begin(), p.end());
    if (end != dest.end()) {
      std::fprintf(stderr, "written outside the destination: %s\n", p.c_str());
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zip::ZipMemoryInput input({data, size});
  zip::ZipReader reader(input);
  if (reader.Open() != zip::ZipDirectoryStatus::Ok) return 0;
  std::uint64_t declared = 0;
  for (const zip::ZipEntry& entry : reader.Entries()) {
    zip::ZipDiscardSink discard;
    reader.Extract(entry, "402615", discard);
    declared += entry.uncompressedSize;
  }
  // Decoders never write more than an entry's declared size; larger claims stay in memory.
  if (declared > kMaxDiskOutput) return 0;

  const fs::path& sandbox = Sandbox();
  if (FILE* f = std::fopen((sandbox / "archive.zip").c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const fs::path dest = sandbox / "box" / "dest";
  // Inputs of odd size go through the worker threads, the others one entry after the other.
  const unsigned threads = size % 2 == 1 ? 2 : 0;
  zip::ExtractPackage(
      (sandbox / "archive.zip").wstring(), dest.wstring(), "402615",
      [](int percent) {
        if (percent < 0 || percent > 100) std::abort();
      },
      {}, {}, threads);
  CheckSandbox(sandbox);
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(dest, ec)) {
    fs::permissions(item.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(item.path(), ec);
  }
  return 0;
}
