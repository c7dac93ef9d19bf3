#include "system/run_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "common/text.h"
#include "support/temp_folder.h"
#include "system/files.h"

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using test_support::Exists;
using test_support::FsPath;

// Each test has prefixes of its own, so runs of other tests, other processes and earlier runs stay
// out of it.
std::wstring Prefix(const char* label) {
  static const std::wstring run = std::to_wstring(std::chrono::steady_clock::now().time_since_epoch().count());
  return L"runfolder-test-" + common::Utf8ToWide(label) + L"-" + run + L"-";
}

#ifdef _WIN32
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }
#endif

TEST(RunFolder, NewPrivateFolderWithRandomNamesRemovedWithItsFiles) {
  const std::wstring prefix = Prefix("new");
  std::wstring path;
  std::wstring file;
  {
    const auto folder = sys::RunFolder::Create(prefix);
    ASSERT_TRUE(folder);
    const auto second = sys::RunFolder::Create(prefix);
    ASSERT_TRUE(second);
    path = folder->Path();
    EXPECT_NE(path, second->Path());
    ASSERT_TRUE(path.starts_with(sys::GetTempDir() + prefix));
    EXPECT_TRUE(std::regex_match(common::WideToUtf8(path.substr(sys::GetTempDir().size() + prefix.size())),
                                 std::regex("[0-9a-f]{16}")));
    EXPECT_TRUE(sys::DirectoryExists(path));

    file = folder->NewFilePath(L".zip");
    EXPECT_NE(file, folder->NewFilePath(L".zip"));
    EXPECT_EQ(FsPath(file).parent_path(), FsPath(path));
    EXPECT_TRUE(std::regex_match(FsPath(file).filename().string(), std::regex("[0-9a-f]{16}\\.zip")));
    test_support::WriteFile(file, "package");
    test_support::MakeReadOnly(file);

#ifdef _WIN32
    // Read back: owner Administrators; Administrators and SYSTEM full control, inherited by
    // what is made inside; nothing from the temporary folder. Wine keeps neither owner nor access
    // list: it turns the list into Unix mode bits and reads those back as the Unix owner's and
    // everyone's rights. There only "nothing for everyone" can be seen.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                                    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    nullptr, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    wchar_t* text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
    if (UnderWine()) {
      EXPECT_EQ(std::wstring(text).find(L";;;WD)"), std::wstring::npos) << common::WideToUtf8(text);
    } else {
      EXPECT_EQ(std::wstring(text), L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)");
    }
    LocalFree(text);
    LocalFree(descriptor);
#else
    struct stat info {};
    ASSERT_EQ(::stat(FsPath(path).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
#endif
  }
  EXPECT_FALSE(Exists(file));
  EXPECT_FALSE(Exists(path)) << "the folder goes with its read-only file";
}

TEST(RunFolder, HeldFolderCannotBeRenamedAwayNorRemovedAsAbandoned) {
  const std::wstring prefix = Prefix("held");
  const auto folder = sys::RunFolder::Create(prefix);
  ASSERT_TRUE(folder);
  test_support::WriteFile(folder->NewFilePath(L".zip"), "package");
#ifdef _WIN32
  const std::wstring away = folder->Path() + L"-away";
  EXPECT_FALSE(MoveFileW(folder->Path().c_str(), away.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(RemoveDirectoryW(folder->Path().c_str()));
#endif
  EXPECT_EQ(sys::RunFolder::RemoveAbandoned(prefix), 0);
  EXPECT_TRUE(sys::DirectoryExists(folder->Path()));
}

// What a killed run leaves: its folder with the package in it, and nobody holding it.
TEST(RunFolder, AbandonedFoldersOfThePrefixGoOthersStay) {
  const std::wstring prefix = Prefix("abandoned");
  const std::wstring temp = sys::GetTempDir();
  const std::wstring abandoned = temp + prefix + L"00112233aabbccdd";
  test_support::WriteFile(abandoned + L"\\0123.zip", "left behind");
  test_support::MakeReadOnly(abandoned + L"\\0123.zip");
  const std::wstring otherPrefix = temp + L"x" + prefix + L"00112233aabbccdd";
  test_support::WriteFile(otherPrefix + L"\\0123.zip", "another product's");
#ifndef _WIN32
  // Links named like a run folder or standing in one point at a user's files.
  test_support::TempFolder victim(L"victim");
  test_support::WriteFile(victim / L"keep.txt", "user's file");
  const std::wstring link = temp + prefix + L"link";
  fs::create_directory_symlink(FsPath(victim.Path()), FsPath(link));
  fs::create_directory_symlink(FsPath(victim.Path()), FsPath(abandoned + L"/inner"));
  fs::create_symlink(FsPath(victim / L"keep.txt"), FsPath(abandoned + L"/file-link"));
#endif

  EXPECT_EQ(sys::RunFolder::RemoveAbandoned(prefix), 1);
  EXPECT_FALSE(Exists(abandoned));
  EXPECT_TRUE(Exists(otherPrefix + L"\\0123.zip"));
#ifndef _WIN32
  EXPECT_EQ(test_support::ReadFile(victim / L"keep.txt"), "user's file");
  EXPECT_TRUE(fs::is_symlink(FsPath(link)));
  fs::remove(FsPath(link));
#endif
  fs::remove_all(FsPath(otherPrefix));
}

class SealedFileTest : public testing::Test {
 protected:
  void SetUp() override {
    // Sizes around the readers' blocks: every byte tells its position.
    bytes_.resize(256 * 1024 + 3);
    for (std::size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = static_cast<char>((i * 131) >> 3);
    test_support::WriteFile(path_, bytes_);
  }

  test_support::TempFolder root_{L"sealed"};
  std::wstring path_ = root_ / L"package.zip";
  std::string bytes_;
};

TEST_F(SealedFileTest, ReadsExactlyTheBytesAskedForAndNothingPastTheEnd) {
  const auto file = sys::SealedFile::Open(path_);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), bytes_.size());
  struct Case {
    std::uint64_t offset;
    std::size_t size;
    bool ok;
  };
  const std::uint64_t size = bytes_.size();
  const Case cases[] = {{0, 1, true}, {0, bytes_.size(), true}, {65535, 65538, true}, {size - 1, 1, true},
                        {size - 1, 2, false}, {size, 1, false}, {size + 100, 1, false}, {size, 0, true}};
  for (const Case& c : cases) {
    std::vector<std::uint8_t> out(c.size);
    EXPECT_EQ(file->ReadAt(c.offset, out), c.ok) << c.offset << "+" << c.size;
    if (c.ok && c.size > 0) {
      EXPECT_EQ(std::string(out.begin(), out.end()), bytes_.substr(c.offset, c.size)) << c.offset;
    }
  }
  EXPECT_FALSE(sys::SealedFile::Open(root_ / L"missing.zip"));
  EXPECT_FALSE(sys::SealedFile::Open(root_.Path())) << "a folder is no package";
}

#ifdef _WIN32
TEST_F(SealedFileTest, NobodyWritesReplacesOrDeletesItWhileItIsOpen) {
  {
    const auto file = sys::SealedFile::Open(path_);
    ASSERT_TRUE(file);
    const HANDLE writer = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(path_.c_str()));
    const std::wstring other = root_ / L"other.zip";
    test_support::WriteFile(other, "another package");
    EXPECT_FALSE(MoveFileExW(other.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING));
    const std::wstring away = root_ / L"away.zip";
    EXPECT_FALSE(MoveFileW(path_.c_str(), away.c_str()));
  }
  EXPECT_EQ(test_support::ReadFile(path_), bytes_);
  EXPECT_TRUE(DeleteFileW(path_.c_str())) << "closed, it is an ordinary file again";
}

TEST_F(SealedFileTest, FileStillOpenForWritingCannotBeSealed) {
  const HANDLE writer = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(sys::SealedFile::Open(path_));
  CloseHandle(writer);
  EXPECT_TRUE(sys::SealedFile::Open(path_));
}
#else
TEST_F(SealedFileTest, LinkIsNotFollowed) {
  const std::wstring link = root_ / L"link.zip";
  fs::create_symlink(FsPath(path_), FsPath(link));
  EXPECT_FALSE(sys::SealedFile::Open(link));
}
#endif

}  // namespace
