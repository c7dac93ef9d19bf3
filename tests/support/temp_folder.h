// Scratch folders and small file helpers for tests that work on the real file system. Paths are
// wide strings joined with "\"; on the host a "\" is read as "/", as the system functions do.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

#ifndef _WIN32
#include <stdlib.h>
#endif

#include "common/text.h"

namespace test_support {

inline std::filesystem::path FsPath(std::wstring_view path) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(path));
#else
  std::string utf8 = common::WideToUtf8(path);
  for (auto& c : utf8) {
    if (c == '\\') c = '/';
  }
  return std::filesystem::path(utf8);
#endif
}

inline std::wstring WidePath(const std::filesystem::path& path) {
#ifdef _WIN32
  return path.wstring();
#else
  return common::Utf8ToWide(path.string());
#endif
}

inline void WriteFile(std::wstring_view path, std::string_view bytes) {
  std::filesystem::create_directories(FsPath(path).parent_path());
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(std::wstring_view path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(std::wstring_view path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(FsPath(path), error));
}

inline void MakeReadOnly(std::wstring_view path) {
  std::filesystem::permissions(FsPath(path), std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                                 std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
}

// A new folder below the system's temporary folder, removed with its content when the object goes.
class TempFolder {
 public:
  explicit TempFolder(std::wstring_view label = L"test") {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007;
    std::wstring temp = WidePath(std::filesystem::temp_directory_path());
    while (!temp.empty() && (temp.back() == L'\\' || temp.back() == L'/')) temp.pop_back();
    path_ = temp + L"\\" + std::wstring(label) + L"-" +
            std::to_wstring(stamp) + L"-" + std::to_wstring(counter++);
#ifndef _WIN32
    for (auto& c : path_) {
      if (c == L'\\') c = L'/';
    }
#endif
    std::filesystem::create_directories(FsPath(path_));
  }
  ~TempFolder() {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(FsPath(path_), error)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                   error);
    }
    std::filesystem::remove_all(FsPath(path_), error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& Path() const { return path_; }
  std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

 private:
  std::wstring path_;
};

#ifndef _WIN32
// Makes folder the host's Program Files folder ($PROGRAMFILES) for the life of the object.
class ProgramFilesAt {
 public:
  explicit ProgramFilesAt(std::wstring_view folder) { ::setenv("PROGRAMFILES", common::WideToUtf8(folder).c_str(), 1); }
  ~ProgramFilesAt() { ::unsetenv("PROGRAMFILES"); }
  ProgramFilesAt(const ProgramFilesAt&) = delete;
  ProgramFilesAt& operator=(const ProgramFilesAt&) = delete;
};
#endif

}  // namespace test_support
