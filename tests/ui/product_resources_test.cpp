// A product folder with some pictures and a language text (tests/ui/partial_product), read through
// the program's real resource lookup under Wine: the product's picture takes the place of the
// program's own, the program's own fill in every other picture (decoded by GDI+ at their sizes),
// and the dialogs are translated from the product's EN.lang.
#include <gtest/gtest.h>

#include "common/strings.h"
#include "common/text.h"
#include "support/picture_table.h"
#include "ui/dialogs.h"
#include "ui/skin.h"
#include "ui/trans_lang.h"

namespace {

using namespace ui;

TEST(ProductResources, TheProductsPictureOverridesTheProgramsOwn) {
  const TSkinSource skins = ResourceSkins();
  const TPicture logo = skins.load(L"logo");
  EXPECT_EQ(logo.Width(), 48) << "the product's logo, not the program's 96 x 96";
  ASSERT_FALSE(logo.Empty());
  EXPECT_EQ(logo.Pixel(10, 10)[0], 0xE0);

  const auto table = test_support::PictureTable();
  ASSERT_EQ(table.size(), 26u);
  for (const auto& p : table) {
    if (p.name == "logo") continue;
    SCOPED_TRACE(p.name);
    const std::wstring name(p.name.begin(), p.name.end());
    ASSERT_TRUE(skins.exists(name));
    const TPicture picture = skins.load(name);
    EXPECT_EQ(picture.Width(), p.width);
    EXPECT_EQ(picture.Height(), p.height);
  }

  EXPECT_FALSE(skins.exists(L"nosuch"));
  try {
    skins.load(L"nosuch");
    ADD_FAILURE() << "no error raised";
  } catch (const common::EGeneralError& e) {
    EXPECT_EQ(e.Message(), L"Resource nosuch not found");
  }
}

TEST(ProductResources, TheLanguageTextIsFoundByItsCode) {
  for (const wchar_t* code : {L"EN", L"en"}) {
    const std::optional<std::string> text = LoadLangResource(code);
    ASSERT_TRUE(text) << common::WideToUtf8(code);
    EXPECT_NE(text->find("[FrmConfirmbox]"), std::string::npos);
  }
  EXPECT_FALSE(LoadLangResource(L"CN"));
}

TEST(ProductResources, DialogsAreTranslatedFromTheProductsLanguageText) {
  TFrmConfirmbox confirm(L"您确定要退出安装程序吗?", false, ResourceSkins());
  EXPECT_EQ(confirm.Caption(), L"Question");
  EXPECT_EQ(confirm.lblCaption->Caption(), L"Notice");
  EXPECT_EQ(confirm.btnYes->Caption(), L"Yes");
  EXPECT_EQ(confirm.btnNo->Caption(), L"No");
  EXPECT_EQ(confirm.btnNo->Left(), 300) << "moved 14 pixels to the left";
  EXPECT_EQ(confirm.lblMsg->Caption(), L"您确定要退出安装程序吗?") << "the caller's message stays";

  TFrmMsgBox box(L"安装失败，请联系官网客服获取免安装包！", ResourceSkins());
  EXPECT_EQ(box.btnOK->Caption(), L"OK");
  EXPECT_EQ(box.lblCaption->Caption(), L"Notice");

  TFrmCheckIfInstall installed(L"?", ResourceSkins());
  EXPECT_EQ(installed.btnYes->Caption(), L"打开软件") << "a dialog without a section keeps its texts";
}

}  // namespace
