// Embedded files: in the host build the table generated from the product folder, under Wine the
// test program's own resources, embedded from the same folder as the installer's.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/strings.h"
#include "common/text.h"
#include "picture_resources.h"
#include "system/resources.h"

namespace {

std::vector<std::uint8_t> Utf8(std::string_view s) { return {s.begin(), s.end()}; }

TEST(ResourceText, LinesAreRejoinedWithCrLfAndEndWithOne) {
  const struct {
    std::string_view bytes;
    std::wstring text;
  } cases[] = {
      {"", L""},
      {"a", L"a\r\n"},
      {"a\nb", L"a\r\nb\r\n"},
      {"a\nb\n", L"a\r\nb\r\n"},
      {"a\r\nb\r\n", L"a\r\nb\r\n"},
      {"a\rb", L"a\r\nb\r\n"},
      {"a\n\nb", L"a\r\n\r\nb\r\n"},
      {"a\n\r\nb", L"a\r\n\r\nb\r\n"},
      {"\n", L"\r\n"},
      {"\r\n\r", L"\r\n\r\n"},
      {"\xEF\xBB\xBF{}\n", L"{}\r\n"},
      {"\xEF\xBB\xBF", L""},
      {"x\xEF\xBB\xBF", L"x\xFEFF\r\n"},  // only a leading mark is skipped
      {"\xE5\xAE\x89\xE8\xA3\x85", L"安装\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    EXPECT_EQ(sys::ResourceTextFromBytes(Utf8(c.bytes)), c.text);
  }
}

TEST(EmbeddedResources, NamesAndTypesIgnoreLetterCase) {
  const struct {
    const wchar_t* name;
    const wchar_t* type;
    bool exists;
  } cases[] = {
      {L"configfile", L"file", true}, {L"CONFIGFILE", L"FILE", true}, {L"ConfigFile", L"File", true},
      {L"configfile", L"png", false}, {L"config", L"file", false},    {L"nosuch", L"file", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.name) + "/" + common::WideToUtf8(c.type));
    EXPECT_EQ(sys::ResourceExists(c.name, c.type), c.exists);
  }
  // The shipped product carries no package: it is downloaded.
  EXPECT_EQ(sys::ResourceExists(L"ZIPFILE", L"FILE"), sys::ResourceExists(L"zipfile", L"file"));
  EXPECT_FALSE(sys::ResourceExists(L"zipfile", L"file"));
  EXPECT_TRUE(sys::LoadResourceBytes(L"zipfile", L"file").empty());
}

TEST(EmbeddedResources, ConfigurationTextHasCrLfLineEnds) {
  const std::vector<std::uint8_t> stored = sys::LoadResourceBytes(L"configfile", L"file");
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(std::count(stored.begin(), stored.end(), '\r'), 0) << "the shipped JSON uses LF";

  const std::wstring text = sys::LoadResourceText(L"CONFIGFILE", L"FILE");
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n') {
      ASSERT_TRUE(i > 0 && text[i - 1] == L'\r') << "bare LF at " << i;
    }
  }
  EXPECT_NE(text.find(L"\"SoftId\": \"brisklens_win\""), std::wstring::npos);
  EXPECT_NE(text.find(L"Brisklens 安装"), std::wstring::npos);
}

TEST(EmbeddedResources, SkinImagesArePngsOfTheirSizes) {
  const struct {
    const wchar_t* name;
    std::uint32_t width, height;
  } images[] = {
      {L"bgpic", 620, 420},          {L"logo", 96, 96},              {L"minilogo", 20, 20},
      {L"btninst01", 200, 48},       {L"btninst02", 200, 48},        {L"btninst03", 200, 48},
      {L"msgbox", 442, 194},         {L"icon_ques", 40, 40},         {L"icon_warn", 40, 40},
      {L"btn_msg_normal", 100, 30},  {L"btn_msg_over", 200, 48},     {L"btn_msg_down", 100, 30},
      {L"btn_empty_normal", 100, 30}, {L"btn_empty_over", 100, 30},  {L"btn_empty_down", 100, 30},
  };
  const auto be32 = [](const std::vector<std::uint8_t>& b, std::size_t at) {
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) | (std::uint32_t(b[at + 2]) << 8) | b[at + 3];
  };
  for (const auto& image : images) {
    SCOPED_TRACE(common::WideToUtf8(image.name));
    const std::vector<std::uint8_t> png = sys::LoadResourceBytes(image.name, L"file");
    ASSERT_GE(png.size(), 26u);
    EXPECT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 8),
              (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    EXPECT_EQ(be32(png, 16), image.width);
    EXPECT_EQ(be32(png, 20), image.height);
    EXPECT_EQ(png[24], 8);  // bit depth
    EXPECT_EQ(png[25], 6);  // colour type RGBA
  }
}

TEST(EmbeddedResources, EachPictureOfTheWindowsIsCarriedOnce) {
  // The shipped product brings its skins; the program's own pictures fill in the rest.
  EXPECT_EQ(test_support::ExpectEachPictureCarriedOnce("resources/product"), 15);
}

TEST(EmbeddedResources, MissingResourcesRaiseWhereTheyMustBeThere) {
  const struct {
    const char* operation;
    void (*call)();
  } calls[] = {
      {"LoadResourceText", [] { sys::LoadResourceText(L"nosuch", L"file"); }},
      {"ExtractResourceToFile", [] { sys::ExtractResourceToFile(L"nosuch", L"file", L"unused.bin"); }},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(c.operation);
    try {
      c.call();
      ADD_FAILURE() << "no error raised";
    } catch (const common::EGeneralError& e) {
      EXPECT_EQ(e.Message(), L"Resource nosuch not found");
    }
  }
}

class Extraction : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / "resources_test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  static std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::filesystem::path dir;
};

TEST_F(Extraction, ReplacesAnExistingFileWithTheResourcesBytes) {
  const auto target = dir / "brisklens_win.zip";
  std::ofstream(target, std::ios::binary) << std::string(100000, 'x');
  EXPECT_TRUE(sys::ExtractResourceToFile(L"logo", L"FILE", target.wstring()));
  EXPECT_EQ(FileBytes(target), sys::LoadResourceBytes(L"logo", L"file"));
}

TEST_F(Extraction, AFileThatCannotBeCreatedRaises) {
  const auto target = dir / "missing-folder" / "x.zip";
  EXPECT_THROW(sys::ExtractResourceToFile(L"logo", L"file", target.wstring()), common::EGeneralError);
  EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
