// The build's check and the installer must agree on what is JSON: each configuration text of
// tests/tools/json_cases is usable by the installer exactly when its name ends in _ok, and the
// check (tests/tools/check_product_test.py) holds the same files to the same verdicts. A text the
// check passes but the installer cannot read would end at run time in "config data is empty".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "installer/config_file.h"

namespace {

TEST(ConfigJsonCases, InstallerReadsExactlyTheOkTexts) {
  int cases = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(TEST_SOURCE_DIR) + "/tests/tools/json_cases")) {
    std::ifstream file(entry.path(), std::ios::binary);
    // As start-up receives it: the resource's bytes.
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const bool ok = entry.path().stem().string().ends_with("_ok");
    const installer::TConfigFile config(bytes, false, {L"unin.exe", [] { return std::wstring(L"C:\\Roaming"); },
                                                       [] { return std::wstring(L"C:\\Local"); }});
    EXPECT_EQ(config.isUsable(), ok) << entry.path().filename();
    ++cases;
  }
  EXPECT_GE(cases, 10);
}

}  // namespace
