// Reading the product configuration and detecting the installation source; the registry parts run
// against the in-memory registry on the host and the real one under Wine.
#include <gtest/gtest.h>

#include <cctype>
#include <stdexcept>

#include "common/strings.h"
#include "common/text.h"
#include "installer/config_file.h"
#include "support/registry_tree.h"
#include "system/registry.h"
#include "system/registry_strings.h"

namespace {

using installer::TConfigContext;
using installer::TConfigFile;
using sys::RegRoot;

const std::wstring kSoftId = L"installer_test_product";
const std::wstring kProductKey = L"SOFTWARE\\" + kSoftId;

TConfigContext Context(std::wstring exeFileName = L"installer.exe") {
  return TConfigContext{std::move(exeFileName), [] { return std::wstring(L"C:\\Users\\u\\AppData\\Roaming"); },
                        [] { return std::wstring(L"C:\\Users\\u\\AppData\\Local"); }};
}

// A document with SoftId and FromSource set, so install mode does not look at the name, plus one
// more member given as raw JSON.
std::string DocumentWith(const std::string& key, const std::string& rawJson) {
  std::string text = R"({"SoftId":"installer_test_product","FromSource":"test")";
  if (!rawJson.empty()) text += ",\"" + key + "\":" + rawJson;
  return text + "}";
}

bool ProductKeyExists() {
  sys::RegKey key;
  return sys::RegKey::Open(RegRoot::CurrentUser, kProductKey, sys::reg::kKeyRead | sys::reg::kWow64_32Key, key) == sys::reg::kSuccess;
}

bool KidExists() {
  sys::RegKey key;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  sys::RegKey::Open(RegRoot::CurrentUser, kProductKey, sys::reg::kKeyRead | sys::reg::kWow64_32Key, key);
  return key.QueryValue(L"kid", type, data) == sys::reg::kSuccess;
}

class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::DeleteKeyTree(RegRoot::CurrentUser, kProductKey); }
  void TearDown() override { testing_support::DeleteKeyTree(RegRoot::CurrentUser, kProductKey); }
};

TEST_F(ConfigFile, TextKeysTakeStringsAndTheJsonTextOfOtherValues) {
  const struct {
    const char* raw;  // "" = key absent
    std::wstring text;
  } cases[] = {
      {"", L""},
      {"null", L"null"},
      {"0", L"0"},
      {"1.5", L"1.5"},
      {"true", L"true"},
      {R"("")", L""},
      {R"("false")", L"false"},
      {R"("Brisklens 安装")", L"Brisklens 安装"},
      {R"("a\"b\\c")", L"a\"b\\c"},
      {R"({"a":[1,"x"]})", LR"({"a":[1,"x"]})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raw);
    const TConfigFile config(DocumentWith("MainProg", c.raw), true, Context());
    EXPECT_EQ(config.MainProg, c.text);
  }
}

TEST_F(ConfigFile, BooleanKeysFollowTheirJsonType) {
  const struct {
    const char* raw;  // "" = key absent
    bool value;
  } cases[] = {
      {"", false},         {"null", false},     {"true", true},       {"false", false},
      {"0", false},        {"1", true},         {"-3", true},         {"0.0", false},
      {"0.5", true},       {R"("")", false},    {R"("0")", true},     {R"("false")", true},
      {"{}", false},       {"[1]", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raw);
    EXPECT_EQ(TConfigFile(DocumentWith("RunAtStartup", c.raw), true, Context()).RunAtStartup, c.value);
    EXPECT_EQ(TConfigFile(DocumentWith("XPSupported", c.raw), true, Context()).XPSupported, c.value);
  }
}

TEST_F(ConfigFile, EveryFieldComesFromItsOwnKey) {
  const std::string document = R"({
    "SoftId": "installer_test_product", "Title": "T", "Version": "2.0", "FromSource": "src",
    "BigTitle": "BT", "Description": "D", "ProgramDirName": "PD", "MainProgPath": "\\bin\\",
    "MainProg": "M.exe", "ShortcutName": "SN", "OpenWebsiteAfterInstall": "http://i/[Version]?f=[from]",
    "OpenWebsiteAfterUninstall": "http://u", "XPSupported": true, "ConfigPathForUinstall": "CP",
    "AfterInstBat1": "B1", "AfterInstBat2": "B2", "ConfigFileDeletedBeforeInstall": "CD",
    "DotNetCheck": 1, "DotNetVerRequired": "4.0", "RunAtStartup": "yes", "StartupByService": true,
    "ServiceExeFileName": "S.exe", "ServiceName": "SvcN", "ServiceDisplayName": "SvcD", "RunAsAdmin": true,
    "ProductURL": "http://p", "RegDllName": "R1.dll", "RegDllName2": "R2.dll", "RegDllName3": "R3.dll",
    "ProtocalRootKeyName": "brisk", "Protocalname": "URL:brisk", "AssociatedExts": "*.a",
    "AutoStartInstall": true, "Unknown": "ignored"})";
  const TConfigFile c(document, true, Context());
  const std::pair<std::wstring, std::wstring> texts[] = {
      {c.SoftId, L"installer_test_product"}, {c.Title, L"T"}, {c.Version, L"2.0"}, {c.FromSource, L"src"},
      {c.BigTitle, L"BT"}, {c.Description, L"D"}, {c.ProgramDirName, L"PD"}, {c.MainProgPath, L"\\bin\\"},
      {c.MainProg, L"M.exe"}, {c.ShortcutName, L"SN"}, {c.OpenWebsiteAfterInstall, L"http://i/[Version]?f=[from]"},
      {c.OpenWebsiteAfterUninstall, L"http://u"}, {c.ConfigPathForUinstall, L"CP"}, {c.AfterInstBat1, L"B1"},
      {c.AfterInstBat2, L"B2"}, {c.ConfigFileDeletedBeforeInstall, L"CD"}, {c.DotNetVerRequired, L"4.0"},
      {c.ServiceExeFileName, L"S.exe"}, {c.ServiceName, L"SvcN"}, {c.ServiceDisplayName, L"SvcD"},
      {c.ProductURL, L"http://p"}, {c.RegDllName, L"R1.dll"}, {c.RegDllName2, L"R2.dll"},
      {c.RegDllName3, L"R3.dll"}, {c.ProtocalRootKeyName, L"brisk"}, {c.Protocalname, L"URL:brisk"},
      {c.FromKeywordID, L""},
  };
  for (const auto& [actual, expected] : texts) EXPECT_EQ(actual, expected);
  for (bool flag : {c.FbInstallMode, c.XPSupported, c.DotNetCheck, c.RunAtStartup, c.StartupByService, c.RunAsAdmin,
                    c.AutoStartInstall}) {
    EXPECT_TRUE(flag);
  }
  EXPECT_EQ(c.AssociatedExts, std::vector<std::wstring>{L".a"});
}

// "PackageKey" switches the signature check on; a value that is no key must not leave it off
// silently, so the whole configuration counts as damaged.
TEST_F(ConfigFile, PackageKeyIsTheMakersKeyOrTheConfigurationIsDamaged) {
  const std::string key =
      "60fed4ba255a9d31c961eb74c6356d68c049b8923b61fa6ce669622e60f29fb6"
      "7903fe1008b8bc99a41ae9e95628bc64f2f1b20c2d7e9f5177a3c294d4462299";
  std::string upper = key;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const struct {
    std::string raw;  // "" = key absent
    bool usable;
  } cases[] = {
      {"", true},
      {"\"" + key + "\"", true},
      {"\"" + upper + "\"", true},
      {R"("")", false},
      {"null", false},
      {"0", false},
      {"true", false},
      {"[]", false},
      {R"({"x":")" + key.substr(0, 64) + R"(","y":")" + key.substr(64) + "\"}", false},
      {"\"" + key.substr(0, 127) + "\"", false},
      {"\"" + key + "0\"", false},
      {"\"04" + key + "\"", false},
      {"\" " + key + "\"", false},
      {"\"" + key + "\\n\"", false},
      {"\"" + key.substr(0, 127) + "8\"", false},  // off the curve
      {"\"" + std::string(128, '0') + "\"", false},
      {"\"" + std::string(128, 'f') + "\"", false},
      {R"("not a key")", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raw);
    const TConfigFile config(DocumentWith("PackageKey", c.raw), false, Context());
    EXPECT_EQ(config.isUsable(), c.usable);
    if (!c.usable) continue;
    const std::string value = c.raw.empty() ? "" : c.raw.substr(1, 128);
    EXPECT_EQ(config.PackageKey, common::Utf8ToWide(value));
  }
}

TEST_F(ConfigFile, TextsWithoutAJsonObjectOrAUsableSoftIdAreNotUsable) {
  const struct {
    std::string text;
    bool usable;
  } cases[] = {
      {"", false}, {"{", false}, {"{\"SoftId\":}", false}, {"[1]", false}, {"\"x\"", false}, {"null", false},
      {"\r\n{\"SoftId\":\"a\"}\r\n", true},
      // The product identifier names registry keys and the temporary package file.
      {"{}", false},
      {"{\"SoftId\":\"\"}", false},
      {"{\"SoftId\":null}", true},  // read as the text null, like any other non-string value
      {"{\"SoftId\":7}", true},
      {"{\"SoftId\":\".\"}", false},
      {"{\"SoftId\":\"..\"}", false},
      {"{\"SoftId\":\"..\\\\Run\"}", false},
      {"{\"SoftId\":\"a/b\"}", false},
      {"{\"SoftId\":\"c:x\"}", false},
      {"{\"SoftId\":\"a\\tb\"}", false},
      {"{\"SoftId\":\"a|b\"}", false},
      {"{\"SoftId\":{\"a\":1}}", false},  // its JSON text holds quotes and a colon
      {"{\"SoftId\":\"brisklens_win\"}", true},
      {"{\"SoftId\":\"a.b-c d\"}", true},
      {"{\"SoftId\":\"产品\"}", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TConfigFile(c.text, false, Context()).isUsable(), c.usable);
  }
  // Built anyway, such a text reads like an empty document.
  const TConfigFile config("{\"Title\":\"x\"", false, Context());
  EXPECT_EQ(config.Title, L"");
  EXPECT_FALSE(config.XPSupported);
  EXPECT_TRUE(config.AssociatedExts.empty());
}

// The embedded document is bytes: a leading byte-order mark is no part of it, and a broken UTF-8
// sequence (which the JSON reader would refuse) reads as U+FFFD instead of damaging the document.
TEST_F(ConfigFile, BytesAreUtf8AfterAnyByteOrderMark) {
  const struct {
    std::string bytes;
    bool usable;
    std::wstring title;
  } cases[] = {
      {"\xEF\xBB\xBF{\"SoftId\":\"p\",\"Title\":\"T\"}", true, L"T"},
      {"{\"SoftId\":\"p\",\"Title\":\"a\xFF" "b\"}", true, L"a\uFFFDb"},
      {"{\"SoftId\":\"p\",\"Title\":\"\xC0\x80\xE5\xAE\"}", true, L"\uFFFD\uFFFD"},
      {"{\"SoftId\":\"p\",\"Title\":\"\xE5\xAE\x89\xE8\xA3\x85\"}", true, L"\u5b89\u88c5"},
      {"{\"SoftId\":\"p\xFF\"}", true, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    const TConfigFile config(c.bytes, false, Context());
    EXPECT_EQ(config.isUsable(), c.usable);
    EXPECT_EQ(config.Title, c.title);
  }
}

TEST_F(ConfigFile, FolderMacrosExpandInAnyLetterCase) {
  const TConfigFile config(R"({"SoftId":"installer_test_product","FromSource":"t",
      "ConfigPathForUinstall":"%APPDATA%\\brisklens_win",
      "ConfigFileDeletedBeforeInstall":"%LocalAppData%\\x\\%appdata%.ini"})",
                           true, Context());
  EXPECT_EQ(config.ConfigPathForUinstall, L"C:\\Users\\u\\AppData\\Roaming\\brisklens_win");
  EXPECT_EQ(config.ConfigFileDeletedBeforeInstall, L"C:\\Users\\u\\AppData\\Local\\x\\C:\\Users\\u\\AppData\\Roaming.ini");

  // Empty values never ask for the folders (which may raise when they cannot be had).
  TConfigContext failing = Context();
  failing.appDataDir = failing.localAppDataDir = []() -> std::wstring { throw std::runtime_error("asked"); };
  EXPECT_NO_THROW(TConfigFile(DocumentWith("ConfigPathForUinstall", R"("")"), true, failing));
}

TEST_F(ConfigFile, AssociatedExtsSplitAtBarsWithoutStars) {
  const struct {
    const char* raw;
    std::vector<std::wstring> items;
  } cases[] = {
      {R"("")", {}},
      {R"("*.jpg|*.png")", {L".jpg", L".png"}},
      {R"(".txt|")", {L".txt", L""}},
      {R"("*.*")", {L"."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raw);
    EXPECT_EQ(TConfigFile(DocumentWith("AssociatedExts", c.raw), true, Context()).AssociatedExts, c.items);
  }
}

TEST(SourceDetection, FromTheExecutablesName) {
  const struct {
    const wchar_t* name;
    const wchar_t* source;
    const wchar_t* keywordId;
  } cases[] = {
      {L"Brisklens-k123_web(1).exe", L"web", L"123"},
      {L"Brisklens.exe", L"none", L""},
      {L"Brisklens-k9.exe", L"none", L""},  // no "_": the keyword is not looked for
      {L"Brisklens_.exe", L"", L""},
      {L"Brisklens_网页.exe", L"none", L""},
      {L"a_b[3].exe", L"b", L""},
      {L"x-k77_y_z.exe", L"z", L"77"},
      {L"x-k77.5_web.exe", L"web", L"77.5"},
      {L"x-k_web.exe", L"web", L""},
      {L"x_WEB.EXE", L"WEB", L""},
      {L"x_web", L"web", L""},
      {L"x_web.exe.exe", L"web.exe", L""},
      {L"x_web(1)(2)[5].exe", L"web", L""},
      {L"x_web(6).exe", L"none", L""},  // "(" is below the allowed range
      {L"x_web[6].exe", L"web[6]", L""},
      {L"x_a b.exe", L"none", L""},
      {L"x-ka_b-kc_d.exe", L"d", L"a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.name));
    std::wstring source = L"stale";
    std::wstring keywordId = L"stale";
    installer::getSourceFromExeName(c.name, source, keywordId);
    EXPECT_EQ(source, c.source);
    EXPECT_EQ(keywordId, c.keywordId);
  }
}

TEST(SourceDetection, ValidSourceTextRange) {
  const struct {
    std::wstring text;
    bool valid;
  } cases[] = {
      {L"", true},
      {L"-.09AZaz~", true},
      {std::wstring(1, wchar_t(128)), true},
      {std::wstring(1, wchar_t(129)), false},
      {L",", false},
      {L"web site", false},
      {L"a&b", false},
      {L"网页", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.text));
    EXPECT_EQ(installer::isValidSourceText(c.text), c.valid);
  }
}

TEST_F(ConfigFile, InstallModeRecordsTheSourceFromTheName) {
  TConfigFile config(R"({"SoftId":"installer_test_product"})", true, Context(L"Brisklens-k5_web.exe"));
  // Reading the document writes nothing; recording the source is a step of its own.
  EXPECT_FALSE(ProductKeyExists());
  config.syncSourceWithRegistry();
  EXPECT_EQ(config.FromSource, L"web");
  EXPECT_EQ(config.FromKeywordID, L"5");
  EXPECT_TRUE(config.isValidSourceFound());
  EXPECT_EQ(sys::ReadRegString(RegRoot::CurrentUser, kProductKey, L"source"), L"web");
  EXPECT_EQ(sys::ReadRegString(RegRoot::CurrentUser, kProductKey, L"kid"), L"5");
}

TEST_F(ConfigFile, InstallModeRecordsNoneForANameWithoutSource) {
  TConfigFile config(R"({"SoftId":"installer_test_product"})", true, Context(L"Brisklens.exe"));
  config.syncSourceWithRegistry();
  EXPECT_EQ(config.FromSource, L"none");
  EXPECT_FALSE(config.isValidSourceFound());
  EXPECT_EQ(sys::ReadRegString(RegRoot::CurrentUser, kProductKey, L"source"), L"none");
  EXPECT_FALSE(KidExists());
}

TEST_F(ConfigFile, ASourceInTheDocumentWinsOverTheName) {
  const struct {
    const wchar_t* fromSource;
    bool found;
  } cases[] = {{L"partner", true}, {L"none", false}};
  for (const auto& c : cases) {
    TConfigFile config(R"({"SoftId":"installer_test_product","FromSource":")" + common::WideToUtf8(c.fromSource) + "\"}",
                       true, Context(L"Brisklens-k5_web.exe"));
    config.syncSourceWithRegistry();
    EXPECT_EQ(config.FromSource, c.fromSource);
    EXPECT_EQ(config.FromKeywordID, L"");
    EXPECT_EQ(config.isValidSourceFound(), c.found);
    EXPECT_EQ(sys::ReadRegString(RegRoot::CurrentUser, kProductKey, L"source"), c.fromSource);
    EXPECT_FALSE(KidExists());
  }
}

TEST_F(ConfigFile, UninstallModeReadsTheRecordedSource) {
  const std::string document = R"({"SoftId":"installer_test_product","FromSource":"ignored"})";
  TConfigFile before(document, false, Context(L"unin.exe"));
  before.syncSourceWithRegistry();
  EXPECT_EQ(before.FromSource, L"");  // nothing recorded: an empty source, which counts as found
  EXPECT_TRUE(before.isValidSourceFound());

  installer::saveSourceToReg(kSoftId, L"web", L"12");
  TConfigFile after(document, false, Context(L"unin.exe"));
  EXPECT_EQ(after.FromSource, L"") << "read only by the step that reads the registry";
  after.syncSourceWithRegistry();
  EXPECT_EQ(after.FromSource, L"web");
  EXPECT_EQ(after.FromKeywordID, L"");
  EXPECT_EQ(installer::readSourceFromReg(kSoftId), L"web");
}

TEST_F(ConfigFile, DynamicNameIsThePartBeforeTheFirstTMark) {
  const struct {
    const wchar_t* exe;
    const wchar_t* keyword;
    const wchar_t* name;
  } cases[] = {
      {L"快看图_Tblw_web.exe", L"blw", L"快看图"},
      {L"快看图_Tx_Tblw.exe", L"blw", L"快看图"},
      {L"快看图_tblw.exe", L"blw", L""},   // "_T" is case-sensitive
      {L"快看图_TBLW.exe", L"blw", L""},   // so is the keyword
      {L"快看图_blw.exe", L"blw", L""},
      {L"_Tblw.exe", L"blw", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.exe));
    const TConfigFile config(DocumentWith("", ""), true, Context(c.exe));
    EXPECT_EQ(config.getDynamicNameFromAPPName(c.keyword), c.name);
  }
}

}  // namespace
