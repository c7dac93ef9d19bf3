#include "installer/install_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>

#include "common/text.h"

namespace installer {
namespace {

TEST(DownloadBarPosition, MovesSevenTenthsPerWholePercentFromTenToEighty) {
  struct Case {
    std::int64_t received;
    std::int64_t total;
    int bar;
  };
  const Case cases[] = {
      {0, 1000, 10},
      {9, 1000, 10},       // 0 % (integer division first)
      {10, 1000, 10},      // 1 % -> 10.7
      {20, 1000, 11},      // 2 % -> 11.4
      {700, 1000, 59},     // 70 % -> 59 exactly, not 58.999...
      {999, 1000, 79},     // 99 % -> 79.3
      {1000, 1000, 80},
      {5000, 1000, 80},    // more than announced: the bar stops at 80
      {500, 0, 10},        // no total announced: no movement, no division by zero
      {500, -5, 10},       // a negative total (none announced) moves nothing
      {2'000'000'000, 2'100'000'000, 76},  // 95 %, though received x 100 exceeds 32 bits
      {1LL << 31, 3LL << 31, 33},          // a third of 6 GiB: beyond 32 bits both ways -> 33 %
      {1LL << 31, 1LL << 32, 45},          // half of exactly 4 GiB, which wraps to 0 in 32 bits
      {(9LL << 29) - 1, 5LL << 30, 72},    // just under 90 % of 5 GiB -> 89 %
      {5LL << 30, 5LL << 30, 80},
      {INT64_MAX, INT64_MAX, 80},          // no overflow at the very top
      {INT64_MAX / 2, INT64_MAX, 45},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DownloadBarPosition(c.received, c.total), c.bar) << c.received << " of " << c.total;
  }
}

TEST(UnzipBarPosition, MovesFromEightyToNinetyFive) {
  const std::pair<int, int> cases[] = {{0, 80}, {6, 80}, {7, 81}, {20, 83}, {60, 89}, {99, 94}, {100, 95}, {150, 95}, {-3, 80}};
  for (auto [percent, bar] : cases) EXPECT_EQ(UnzipBarPosition(percent), bar) << percent;
}

TEST(IsAssociableExt, OnlyItemsThatNameAKeyOfTheirOwn) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L".jpg", true},
      {L"png", true},     // associated as ngFile: the first character goes, whatever it is
      {L".tar.gz", true},
      {L"", false},       // "*", or after a trailing "|": the classes root itself
      {L".", false},      // "*.*": the root's default value and the class "File"
      {L"\\", false},
      {L".txt\\shell", false},  // a key below another extension's key
      {L"..", true},      // a key name of its own, harmless
  };
  for (auto [ext, associable] : cases) EXPECT_EQ(IsAssociableExt(ext), associable) << common::WideToUtf8(ext);
}

// Free space per drive; a drive missing from the map cannot be read.
FreeSpaceQuery Drives(std::map<std::wstring, std::int64_t> drives, std::vector<std::wstring>* asked = nullptr) {
  return [drives = std::move(drives), asked](const std::wstring& drive, std::int64_t& mb) {
    if (asked) asked->push_back(drive);
    auto it = drives.find(drive);
    mb = it == drives.end() ? 0 : it->second;
    return it != drives.end();
  };
}

TEST(ChooseInstallDir, KeepsTheChosenFolderOrMovesToTheFirstDriveWithRoom) {
  struct Case {
    const char* name;
    std::wstring target;
    std::map<std::wstring, std::int64_t> drives;
    std::optional<std::wstring> chosen;
  };
  const Case cases[] = {
      {"enough on the chosen drive", L"D:\\Apps\\Brisklens", {{L"D:", 200}}, L"D:\\Apps\\Brisklens"},
      {"199 MB on D:, 151 MB on C:", L"D:\\Apps\\Brisklens", {{L"C:", 151}, {L"D:", 199}}, L"C:\\Brisklens"},
      {"199 MB on C: itself", L"C:\\Users\\a\\Deep\\Folder", {{L"C:", 199}}, L"C:\\Brisklens"},
      {"exactly 150 MB does not qualify", L"D:\\x", {{L"C:", 150}, {L"D:", 10}, {L"E:", 151}}, L"E:\\Brisklens"},
      {"no drive qualifies", L"D:\\x", {{L"C:", 150}, {L"D:", 10}, {L"Z:", 3}}, std::nullopt},
      {"unreadable target drive skips the check", L"Q:\\x", {{L"C:", 1}}, L"Q:\\x"},
      {"a path without a drive letter skips the check", L"\\\\server\\share\\x", {{L"C:", 1}}, L"\\\\server\\share\\x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseInstallDir(c.target, L"Brisklens", Drives(c.drives)), c.chosen) << c.name;
  }
}

TEST(FindInstallDrive, SearchesFromCToZInOrderAndSkipsUnreadableDrives) {
  std::vector<std::wstring> asked;
  EXPECT_EQ(FindInstallDrive(Drives({{L"F:", 900}, {L"G:", 900}}, &asked)), L"F:");
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"C:", L"D:", L"E:", L"F:"}));

  asked.clear();
  EXPECT_EQ(FindInstallDrive(Drives({}, &asked)), L"");
  EXPECT_EQ(asked.size(), 24u);
  EXPECT_EQ(asked.back(), L"Z:");
}

TEST(ExpandWebAddress, ReplacesBothPlaceholdersInAnyLetterCase) {
  EXPECT_EQ(ExpandWebAddress(L"http://x/?v=[VERSION]&f=[from]&again=[Version]", L"2.0", std::wstring(L"web")),
            L"http://x/?v=2.0&f=web&again=2.0");
  EXPECT_EQ(ExpandWebAddress(L"http://x/?v=[version]&f=[FROM]", L"2.0", std::wstring(L"")), L"http://x/?v=2.0&f=");
  // The uninstaller's page knows only the version.
  EXPECT_EQ(ExpandWebAddress(L"http://x/?v=[Version]&f=[from]", L"1.0.1"), L"http://x/?v=1.0.1&f=[from]");
}

// The values come from a server's answer and from the installer's file name: each stays one query
// value (RFC 3986: only letters, digits and "-._~" go in as they are; UTF-8 bytes otherwise).
TEST(ExpandWebAddress, ValuesCannotAddParametersFragmentsOrPlaceholders) {
  struct Case {
    const wchar_t* version;
    const wchar_t* from;
    const wchar_t* expanded;
  };
  const Case cases[] = {
      {L"1.0-rc_2~b", L"web", L"http://x/?v=1.0-rc_2~b&f=web"},
      {L"1&admin=1", L"a b", L"http://x/?v=1%26admin%3D1&f=a%20b"},
      {L"1#frag", L"x?y", L"http://x/?v=1%23frag&f=x%3Fy"},
      {L"[from]", L"[Version]", L"http://x/?v=%5Bfrom%5D&f=%5BVersion%5D"},
      {L"100%", L"\u00E9\u4E2D", L"http://x/?v=100%25&f=%C3%A9%E4%B8%AD"},
      {L"\"><script>", L"/..\\", L"http://x/?v=%22%3E%3Cscript%3E&f=%2F..%5C"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandWebAddress(L"http://x/?v=[Version]&f=[from]", c.version, std::wstring(c.from)), c.expanded)
        << common::WideToUtf8(c.version);
  }
}

}  // namespace
}  // namespace installer
