// The build's check and the installer must agree on what is JSON: each configuration text of
// tests/tools/json_cases is usable by the installer exactly when its name ends in _ok, and the
// check (tests/tools/check_product_test.py) holds the same files to the same verdicts. A text the
// check passes but the installer cannot read would end at run time in "config data is empty".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/text.h"
#include "installer/config_file.h"
#include "system/resources.h"

namespace {

TEST(ConfigJsonCases, InstallerReadsExactlyTheOkTexts) {
  int cases = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(TEST_SOURCE_DIR) + "/tests/tools/json_cases")) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // As start-up receives it: the resource's text, byte-order mark skipped, lines joined with CR LF.
    const std::wstring text = sys::ResourceTextFromBytes(bytes);
    const bool ok = entry.path().stem().string().ends_with("_ok");
    EXPECT_EQ(installer::IsConfigDataUsable(text), ok) << entry.path().filename();
    ++cases;
  }
  EXPECT_GE(cases, 10);
}

}  // namespace
