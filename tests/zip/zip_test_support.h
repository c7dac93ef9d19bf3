// Helpers of the ZIP tests: the archives that make_archives.py made, scratch folders, and
// snapshots of folder trees for comparison.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "common/text.h"
#include "zip_test_paths.h"

namespace zip_test {

namespace fs = std::filesystem;

inline std::wstring Wide(const fs::path& p) {
#ifdef _WIN32
  return p.wstring();
#else
  return common::Utf8ToWide(p.string());
#endif
}

inline fs::path PathOf(const std::wstring& text) {
#ifdef _WIN32
  return fs::path(text);
#else
  return fs::path(common::WideToUtf8(text));
#endif
}

inline fs::path Archives() { return PathOf(ZIP_TEST_ARCHIVES); }
inline std::wstring Archive(const std::wstring& name) { return Wide(Archives() / PathOf(name)); }

inline std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteAll(const fs::path& p, const std::string& content) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << content;
}

inline bool IsReadOnly(const fs::path& p) {
  return (fs::status(p).permissions() & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) ==
         fs::perms::none;
}

// Every file below root: its path relative to root (UTF-8, '/' between folders) and content.
inline std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    if (!item.is_regular_file()) continue;
    std::string relative = common::WideToUtf8(Wide(fs::relative(item.path(), root)));
    for (char& c : relative) c = c == '\\' ? '/' : c;
    files[relative] = ReadAll(item.path());
  }
  return files;
}

// A fresh, empty folder below the working folder, removed again at the end of the test (also when
// it holds read-only files).
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) : path_(fs::current_path() / "zip-scratch" / name) {
    Remove();
    fs::create_directories(path_);
  }
  ~ScratchFolder() { Remove(); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  void Remove() {
    std::error_code ec;
    if (!fs::exists(path_, ec)) return;
    for (const auto& item : fs::recursive_directory_iterator(path_, ec)) {
      fs::permissions(item.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
  }

  fs::path path_;
};

}  // namespace zip_test
