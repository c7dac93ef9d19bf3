// Run-mode decisions taken from the executable's name and the command line.
#include <gtest/gtest.h>

#include "common/text.h"
#include "installer/config_file.h"
#include "installer/run_mode.h"

namespace {

using installer::TConfigFile;

TEST(RunMode, OnlyTheExactNameUninExeUninstalls) {
  const struct {
    const wchar_t* name;
    bool install;
  } cases[] = {{L"unin.exe", false}, {L"Unin.exe", true}, {L"UNIN.EXE", true},
               {L"xunin.exe", true}, {L"unin.exe ", true}, {L"Brisklens_web.exe", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.name));
    EXPECT_EQ(installer::IsInstallModeName(c.name), c.install);
  }
}

TEST(RunMode, AutoInstallArguments) {
  const struct {
    const wchar_t* argument;
    bool hidden;
    bool shown;
  } cases[] = {{L"astart", true, false}, {L"Astart", false, false}, {L"autoinst", false, true},
               {L"AUTOINST", false, false}, {L"", false, false}, {L"astart ", false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.argument));
    EXPECT_EQ(installer::IsHiddenAutoInstallArgument(c.argument), c.hidden);
    EXPECT_EQ(installer::IsShownAutoInstallArgument(c.argument), c.shown);
  }
}

TEST(RunMode, NameFromExecutableDependsOnTheProductsKeyword) {
  const struct {
    const wchar_t* softId;
    const wchar_t* exe;
    const wchar_t* name;
  } cases[] = {
      {L"brisklens_win", L"快看图_Tblw_web.exe", L"快看图"},
      {L"brisklens_win", L"快看图_Tovt_web.exe", L""},  // the other products' keyword
      {L"brisklens_lite", L"轻看图_Tovt.exe", L"轻看图"},
      {L"orvatte_win", L"Orv_Tovt.exe", L"Orv"},
      {L"orvatte_win", L"Orv_Tblw.exe", L""},
      {L"other_product", L"快看图_Tblw_web.exe", L""},
      {L"brisklens_win", L"Brisklens_web.exe", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.exe));
    // Uninstall mode: the name is not examined for a source.
    TConfigFile config("{}", false, {c.exe, {}, {}});
    config.SoftId = c.softId;
    EXPECT_EQ(installer::getNameFromExe(config), c.name);
  }
}

}  // namespace
