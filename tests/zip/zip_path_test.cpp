#include "zip/zip_path.h"

#include <gtest/gtest.h>

namespace zip {
namespace {

struct PathCase {
  const wchar_t* name;
  bool accepted;
  std::vector<std::wstring> segments;
};

TEST(SplitZipEntryPath, ResolvesInsideNamesAndRefusesEscapes) {
  const PathCase cases[] = {
      {L"a/b/c.txt", true, {L"a", L"b", L"c.txt"}},
      {L"a\\b\\c.txt", true, {L"a", L"b", L"c.txt"}},
      {L"a/./b//c/", true, {L"a", L"b", L"c"}},
      {L"a/../b.txt", true, {L"b.txt"}},
      {L"a/b/../../c", true, {L"c"}},
      {L"说明/文件.txt", true, {L"说明", L"文件.txt"}},
      {L"../x", false, {}},
      {L"a/../../x", false, {}},
      {L"a\\..\\..\\x", false, {}},
      {L"/etc/x", false, {}},
      {L"\\x", false, {}},
      {L"C:/x", false, {}},
      {L"C:x", false, {}},
      {L"file.txt:stream", false, {}},
      {L"a/.../x", false, {}},
      {L"a/.. /x", false, {}},
      {L"CON", false, {}},
      {L"a/nul.txt", false, {}},
      {L"lpt1", false, {}},
      {L"COM\u00B9", false, {}},          // COM¹: Windows opens the superscript digits as devices too
      {L"a/lpt\u00B2.txt", false, {}},    // LPT²
      {L"COM\u00B3.log", false, {}},      // COM³
      {L"COM\u2074.txt", true, {L"COM\u2074.txt"}},  // COM⁴ is no device
      {L"COM10.txt", true, {L"COM10.txt"}},
      {L"console.txt", true, {L"console.txt"}},
      {L"a/\x01.txt", false, {}},
      {L"", false, {}},
  };
  for (const PathCase& c : cases) {
    std::vector<std::wstring> segments;
    EXPECT_EQ(SplitZipEntryPath(c.name, segments), c.accepted) << c.name;
    if (c.accepted) {
      EXPECT_EQ(segments, c.segments);
    }
  }
}

}  // namespace
}  // namespace zip
