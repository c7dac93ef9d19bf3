// The uninstaller copy: the package resource leaves an unsigned installer's copy and nothing else
// changes; a signed installer's copy is the same bytes. The Windows part uses this test program
// itself as the installer: it embeds a product folder with a package.
#include "system/uninstaller_copy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "support/temp_folder.h"
#include "system/resources.h"
#endif

namespace {

// A PE32 (or PE32+) header with e_lfanew at 0x80, the given number of data directories and the
// security directory's size.
std::vector<std::uint8_t> Image(std::uint16_t magic, std::uint32_t directories, std::uint32_t securitySize) {
  std::vector<std::uint8_t> image(0x400, 0);
  const auto put = [&](std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  image[0] = 'M';
  image[1] = 'Z';
  put(0x3C, 0x80, 4);
  put(0x80, 0x00004550, 4);  // "PE\0\0"
  const std::size_t optional = 0x80 + 24;
  put(optional, magic, 2);
  const std::size_t dirs = optional + (magic == 0x20B ? 112 : 96);
  put(dirs - 4, directories, 4);
  put(dirs + 4 * 8, 0x3000, 4);  // the certificate table's file offset
  put(dirs + 4 * 8 + 4, securitySize, 4);
  return image;
}

TEST(HasCertificateTable, ReadsTheSecurityDirectoryOfBothImageKinds) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> image;
    bool signed_;
  };
  std::vector<std::uint8_t> noMz = Image(0x10B, 16, 0x500);
  noMz[0] = 'X';
  std::vector<std::uint8_t> farHeader = Image(0x10B, 16, 0x500);
  farHeader[0x3D] = 0x10;  // e_lfanew 0x1080, past the bytes read
  std::vector<std::uint8_t> noPe = Image(0x10B, 16, 0x500);
  noPe[0x80] = 'X';
  std::vector<std::uint8_t> cut = Image(0x10B, 16, 0x500);
  cut.resize(0x80 + 24 + 96 + 4 * 8 + 4);  // ends before the security directory's size
  const Case cases[] = {
      {"PE32 unsigned", Image(0x10B, 16, 0), false},
      {"PE32 signed", Image(0x10B, 16, 0x500), true},
      {"PE32+ signed", Image(0x20B, 16, 0x500), true},
      {"PE32+ unsigned", Image(0x20B, 16, 0), false},
      {"too few directories to hold one", Image(0x10B, 4, 0x500), false},
      {"unknown optional header", Image(0x107, 16, 0x500), false},
      {"no MZ", noMz, false},
      {"header beyond the bytes", farHeader, false},
      {"no PE signature", noPe, false},
      {"cut inside the directories", cut, false},
      {"empty", {}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(sys::HasCertificateTable(c.image), c.signed_) << c.what;
}

#ifdef _WIN32

using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// The bytes of a resource of an executable file, read as data; nothing when it has none.
std::optional<std::string> ResourceOf(const std::wstring& file, const wchar_t* name) {
  const HMODULE image = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!image) return std::nullopt;
  std::optional<std::string> bytes;
  if (const HRSRC info = FindResourceW(image, name, L"FILE")) {
    const auto* data = static_cast<const char*>(LockResource(LoadResource(image, info)));
    bytes = std::string(data, SizeofResource(image, info));
  }
  FreeLibrary(image);
  return bytes;
}

DWORD RunToEnd(const std::wstring& program, const std::wstring& arguments) {
  std::wstring line = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return 0xFFFFFFFF;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

TEST(UninstallerCopy, UnsignedInstallerLeavesItsPackageBehind) {
  const std::wstring installer = OwnPath();
  ASSERT_FALSE(sys::HasCertificateTable(sys::ReadImageStart(installer)));
  ASSERT_TRUE(ResourceOf(installer, L"ZIPFILE").has_value());
  TempFolder folder(L"uninstaller copy");
  const std::wstring copy = folder / L"unin.exe";
  WriteFile(copy, "an older uninstaller");

  ASSERT_TRUE(sys::WriteUninstallerCopy(installer, copy));
  EXPECT_FALSE(ResourceOf(copy, L"ZIPFILE").has_value());
  // Everything else the program reads is still there, byte for byte.
  for (const wchar_t* name : {L"CONFIGFILE", L"LOGO"}) EXPECT_EQ(ResourceOf(copy, name), ResourceOf(installer, name)) << name;
  // And it still runs: the copy lists this very test.
  EXPECT_EQ(RunToEnd(copy, L"--gtest_filter=UninstallerCopy.UnsignedInstallerLeavesItsPackageBehind --gtest_list_tests"), 0u);
}

TEST(UninstallerCopy, SignedInstallerIsCopiedWhole) {
  // This program with a certificate table: the bytes of a signature after the image, and the
  // security directory pointing at them.
  std::string image = ReadFile(OwnPath());
  const std::uint32_t offset = static_cast<std::uint32_t>(image.size());
  image += std::string("\x10\x00\x00\x00\x00\x02\x02\x00signature", 17);
  std::uint32_t pe = 0;
  std::memcpy(&pe, image.data() + 0x3C, 4);
  // The data directories follow the optional header's fixed part: 96 bytes in a 32-bit image
  // (magic 0x10B), 112 in a 64-bit one (0x20B).
  std::uint16_t magic = 0;
  std::memcpy(&magic, image.data() + pe + 24, 2);
  ASSERT_TRUE(magic == 0x10B || magic == 0x20B);
  const std::size_t security = pe + 24 + (magic == 0x10B ? 96 : 112) + 4 * 8;
  const std::uint32_t size = 17;
  std::memcpy(image.data() + security, &offset, 4);
  std::memcpy(image.data() + security + 4, &size, 4);

  TempFolder folder(L"signed copy");
  const std::wstring installer = folder / L"signed.exe";
  WriteFile(installer, image);
  ASSERT_TRUE(sys::HasCertificateTable(sys::ReadImageStart(installer)));
  ASSERT_TRUE(sys::WriteUninstallerCopy(installer, folder / L"unin.exe"));
  EXPECT_TRUE(ReadFile(folder / L"unin.exe") == image);
}

TEST(RemoveFileResource, FileWithoutTheResourceIsLeftAlone) {
  TempFolder folder(L"no resource");
  const std::wstring copy = folder / L"copy.exe";
  ASSERT_TRUE(sys::WriteUninstallerCopy(OwnPath(), copy));
  const std::string before = ReadFile(copy);
  EXPECT_FALSE(sys::RemoveFileResource(copy, L"ZIPFILE", L"FILE"));  // gone already
  EXPECT_FALSE(sys::RemoveFileResource(folder / L"missing.exe", L"ZIPFILE", L"FILE"));
  EXPECT_TRUE(ReadFile(copy) == before);
}

#endif

}  // namespace
