// The configuration that ships, read the way start-up reads it: from the embedded resource.
#include <gtest/gtest.h>

#include "installer/config_file.h"
#include "system/resources.h"

namespace {

TEST(ShippedConfiguration, DescribesTheProduct) {
  const std::vector<std::uint8_t> bytes = sys::LoadResourceBytes(L"configfile", L"file");
  const installer::TConfigFile c(std::string(bytes.begin(), bytes.end()), false,
                                 {L"unin.exe", [] { return std::wstring(L"C:\\Roaming"); },
                                  [] { return std::wstring(L"C:\\Local"); }});
  ASSERT_TRUE(c.isUsable());
  const std::pair<std::wstring, std::wstring> texts[] = {
      {c.SoftId, L"brisklens_win"},
      {c.Title, L"Brisklens 安装"},
      {c.Version, L"1.0.1"},
      {c.BigTitle, L"Brisklens"},
      {c.ProgramDirName, L"Brisklens"},
      {c.ShortcutName, L"Brisklens"},
      {c.MainProg, L"Orvatte.exe"},
      {c.MainProgPath, L"\\"},
      {c.ConfigPathForUinstall, L"C:\\Roaming\\brisklens_win"},
  };
  for (const auto& [actual, expected] : texts) EXPECT_EQ(actual, expected);
  EXPECT_FALSE(c.Description.empty());
  EXPECT_EQ(c.Description.find_first_of(L"\r\n"), std::wstring::npos);
  EXPECT_TRUE(c.RunAsAdmin);
  for (bool off : {c.XPSupported, c.DotNetCheck, c.RunAtStartup, c.StartupByService, c.AutoStartInstall}) {
    EXPECT_FALSE(off);
  }
  for (const std::wstring* empty :
       {&c.AfterInstBat1, &c.AfterInstBat2, &c.DotNetVerRequired, &c.OpenWebsiteAfterInstall,
        &c.OpenWebsiteAfterUninstall, &c.ProductURL, &c.ProtocalRootKeyName, &c.Protocalname, &c.RegDllName,
        &c.RegDllName2, &c.RegDllName3, &c.ServiceDisplayName, &c.ServiceExeFileName, &c.ServiceName,
        &c.ConfigFileDeletedBeforeInstall}) {
    EXPECT_EQ(*empty, L"");
  }
  EXPECT_TRUE(c.AssociatedExts.empty());
}

}  // namespace
