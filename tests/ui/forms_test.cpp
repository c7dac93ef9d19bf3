// The skinned forms: drag-to-move selection, Escape, the main window's layout and the dialogs'
// pictures, captions and results. Pictures come from a fake skin store of the product's sizes.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <map>

#include "common/strings.h"
#include "common/text.h"
#include "support/picture_table.h"
#include "ui/dialogs.h"
#include "ui/main_form.h"
#include "ui/recording.h"

namespace {

using namespace ui;

using uitest::RecordingPeer;

// Every picture the windows load, with its size: the table of pictures.
const std::map<std::wstring, TSize>& SkinSizes() {
  static const std::map<std::wstring, TSize> sizes = [] {
    std::map<std::wstring, TSize> table;
    for (const auto& p : test_support::PictureTable()) table[std::wstring(p.name.begin(), p.name.end())] = {p.width, p.height};
    return table;
  }();
  return sizes;
}

struct FakeSkins {
  std::map<std::wstring, TPicture> loaded;
  std::wstring missing;
  TSkinSource Source() {
    return {[this](std::wstring_view n) { return SkinSizes().contains(std::wstring(n)) && n != missing; },
            [this](std::wstring_view n) {
              const std::wstring name(n);
              if (!SkinSizes().contains(name) || name == missing) common::RaiseError(L"Resource " + name + L" not found");
              auto [it, added] = loaded.try_emplace(name);
              if (added) {
                const TSize s = SkinSizes().at(name);
                it->second = TPicture::Solid(s.cx, s.cy, static_cast<TColor>(loaded.size() * 0x010203));
              }
              return it->second;
            }};
  }
  const TPicture& operator[](const wchar_t* name) { return loaded.at(name); }
};

// ---- drag-to-move

struct DragForm : TCommLangForm {
  DragForm() : TCommLangForm(L"TDragForm", L"DragForm") {
    SetClientSize(300, 300);
    auto add = [this](auto* c, int row) {
      c->SetBounds(0, row * 20, 100, 20);
      return c;
    };
    plainImage = add(Create<TImage>(nullptr, L"img"), 0);
    clickImage = add(Create<TImage>(nullptr, L"imgClick"), 1);
    clickImage->OnClick = [](TControl&) {};
    panel = add(Create<TPanel>(nullptr, L"pnl"), 2);
    ownPanel = add(Create<TPanel>(nullptr, L"pnlOwn"), 3);
    ownPanel->OnMouseDown = [this](TControl&, TMouseButton, int, int) { ++ownPanelPresses; };
    group = add(Create<TControl>(nullptr, L"TGroupBox", L"grp"), 4);
    group->OnClick = [](TControl&) {};
    label = add(Create<TLabel>(nullptr, L"lbl"), 5);
    clickLabel = add(Create<TLabel>(nullptr, L"lblClick"), 6);
    clickLabel->OnClick = [](TControl&) {};
    button = add(Create<TTextImageButton>(nullptr, L"btn"), 7);
    button->SetBounds(0, 140, 100, 20);
    imgBtn = add(Create<TImgBtnEx>(nullptr, L"imgbtn"), 8);
    edit = add(Create<TEdit>(nullptr, L"edt"), 9);
    CreateCommLang(true, [](std::wstring_view) { return std::nullopt; });
    SetPeer(&peer);
  }
  RecordingPeer peer;
  TImage *plainImage, *clickImage;
  TPanel *panel, *ownPanel;
  TControl* group;
  TLabel *label, *clickLabel;
  TTextImageButton* button;
  TImgBtnEx* imgBtn;
  TEdit* edit;
  int ownPanelPresses = 0;
};

TEST(DragToMove, ExactClassesWithoutTheirOwnHandlersMoveTheWindow) {
  DragForm form;
  struct Case {
    int row;
    bool moves;
  } cases[] = {{0, true}, {1, false}, {2, true}, {3, false}, {4, true}, {5, true},
               {6, false}, {7, false}, {8, false}, {9, false}, {13, true /* empty surface */}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    form.peer.moves = 0;
    form.DispatchMouseDown(TMouseButton::mbLeft, 50, c.row * 20 + 5);
    form.DispatchMouseUp(TMouseButton::mbLeft, 50, c.row * 20 + 5);
    EXPECT_EQ(form.peer.moves, c.moves ? 1 : 0);
  }
  EXPECT_EQ(form.ownPanelPresses, 1) << "a panel keeps its own handler";
}

TEST(DragToMove, AnyButtonMovesAndSwitchingOffStops) {
  DragForm form;
  form.DispatchMouseDown(TMouseButton::mbRight, 50, 5);
  form.DispatchMouseDown(TMouseButton::mbMiddle, 50, 5);
  EXPECT_EQ(form.peer.moves, 2);
  form.SetbMouseDownToMoveClient(false);
  form.DispatchMouseDown(TMouseButton::mbLeft, 50, 5);
  form.DispatchMouseDown(TMouseButton::mbLeft, 50, 280);
  EXPECT_EQ(form.peer.moves, 2);
  EXPECT_EQ(form.ownPanelPresses, 0);
}

// ---- main window

struct MainFormFixture : ::testing::Test {
  FakeSkins skins;
  std::unique_ptr<TMainForm> form;
  RecordingPeer peer;
  void SetUp() override {
    form = std::make_unique<TMainForm>(skins.Source());
    form->ApplySkins(skins.Source());
    form->SetPeer(&peer);
    form->SetbMouseDownToMoveClient(true);
  }
};

TEST(MainForm, EveryPictureComesFromTheSkinsItIsBuiltWith) {
  FakeSkins skins;
  const TMainForm form(skins.Source());
  const std::pair<const wchar_t*, TPicture> pictures[] = {
      {L"bgpic", form.imgMain->Picture()},
      {L"logo", form.imgLogo->Picture()},
      {L"minilogo", form.imgMiniLogo->Picture()},
      {L"btninst01", form.btnUninExit->Bitmap()},
      {L"btninst02", form.btnInstall->BitmapOver()},
      {L"btninst03", form.btnInstallExit->BitmapDown()},
      {L"edgeline", form.imgLeft->Picture()},
      {L"edgeline", form.imgRight->Picture()},
      {L"bottomline", form.imgBottom->Picture()},
      {L"sepline", form.img2->Picture()},
      {L"arrowdown", form.imgDown->Picture()},
      {L"arrowup", form.imgUp->Picture()},
      {L"success", form.Image1->Picture()},
      {L"btnchange01", form.btnChangeInstall->Bitmap()},
      {L"btnchange02", form.btnChangeInstall->BitmapOver()},
      {L"btnchange03", form.btnChangeInstall->BitmapDown()},
  };
  for (const auto& [name, picture] : pictures) {
    EXPECT_TRUE(picture.SameImage(skins[name])) << common::WideToUtf8(name);
  }
  EXPECT_EQ(form.imgbtnClose->StatePicture(0, 1).Width(), 40) << "the close strip's hover slice";
  EXPECT_TRUE(skins.loaded.contains(L"closestrip"));
  EXPECT_EQ(skins.loaded.size(), SkinSizes().size() - 9) << "the main window takes all but the dialogs' nine";
}

TEST_F(MainFormFixture, FolderRowShowsOnlyAtTheExpandedHeight) {
  form->SetClientHeight(TMainForm::kCollapsedHeight);
  EXPECT_EQ(form->ControlAt(40, 425), nullptr) << "below the window's edge";
  EXPECT_EQ(form->imgBottom->Top(), 407);
  EXPECT_EQ(form->ControlAt(300, 406), form->img2) << "the separator is the last line above the bottom edge";
  EXPECT_EQ(form->ControlAt(300, 407), form->imgBottom);
  form->SetClientHeight(TMainForm::kExpandedHeight);
  EXPECT_EQ(form->ControlAt(40, 425), form->lblPath);
  EXPECT_EQ(form->ControlAt(520, 450), form->btnChangeInstall);
  EXPECT_EQ(form->ControlAt(100, 450), form->edtPath);
  EXPECT_EQ(form->imgBottom->Top(), 483);
}

// Start-up's texts in the header: the version 10 px right of the big title where it stood, the big
// title and the description 60 px right of the logo, the description 15 px higher; a name from
// the executable's name takes the big title's place and the title.
TEST_F(MainFormFixture, ProductTextsArePlacedBesideTheLogo) {
  const struct {
    const wchar_t* nameFromExe;
    const wchar_t* title;
  } cases[] = {{L"", L"Brisklens 安装"}, {L"快看图", L"快看图"}};
  for (const auto& c : cases) {
    SetUp();
    form->lblBigTitle->SetBounds(100, 40, 120, 30);
    form->imgLogo->SetBounds(20, 30, 96, 96);
    form->lblDescription->SetBounds(150, 90, 300, 20);
    form->lblNameFromExe->SetBounds(199, 54, 6, 28);
    form->ShowProductTexts({L"Brisklens 安装", L"1.0.1", L"一句话介绍", L"Brisklens", c.nameFromExe});
    EXPECT_EQ(form->lblVersion->Left(), 230);
    EXPECT_EQ(form->lblBigTitle->Left(), 176);
    EXPECT_EQ(form->lblDescription->Left(), 176);
    EXPECT_EQ(form->lblDescription->Top(), 75);
    EXPECT_EQ(form->lblTitle->Font.color, clWhite);
    EXPECT_TRUE(form->lblTitle->Visible());
    EXPECT_TRUE(form->imgLogo->Visible());
    EXPECT_EQ(form->lblTitle->Caption(), c.title);
    EXPECT_EQ(form->lblVersion->Caption(), L"1.0.1");
    EXPECT_EQ(form->lblDescription->Caption(), L"一句话介绍");
    EXPECT_EQ(form->lblBigTitle->Caption(), L"Brisklens");
    EXPECT_EQ(form->lblNameFromExe->Caption(), c.nameFromExe);
    const bool named = *c.nameFromExe != L'\0';
    EXPECT_EQ(form->lblBigTitle->Visible(), !named);
    EXPECT_EQ(form->lblNameFromExe->Top(), named ? 40 : 54) << "at the big title's top";
  }
}

TEST_F(MainFormFixture, FolderRowOpensAndClosesWithTheArrows) {
  form->SetFolderRowOpen(true);
  EXPECT_EQ(form->Height(), TMainForm::kExpandedHeight);
  EXPECT_TRUE(form->imgUp->Visible());
  EXPECT_FALSE(form->imgDown->Visible());
  form->SetFolderRowOpen(false);
  EXPECT_EQ(form->Height(), TMainForm::kCollapsedHeight);
  EXPECT_TRUE(form->imgDown->Visible());
  EXPECT_FALSE(form->imgUp->Visible());
}

TEST_F(MainFormFixture, ArrowImageCoversTheCustomInstallText) {
  const TPoint origin = form->lblDesOptions->OriginInForm();
  EXPECT_EQ(form->ControlAt(origin.x + 30, origin.y + 8), form->imgDown) << "over the label's text";
  EXPECT_EQ(form->ControlAt(origin.x - 15, origin.y + 8), form->imgDown) << "the arrow itself";
  form->imgDown->SetVisible(false);
  form->imgUp->SetVisible(true);
  EXPECT_EQ(form->ControlAt(origin.x + 30, origin.y + 8), form->imgUp);
}

TEST_F(MainFormFixture, HeaderShowsTheTopRowsOfTheBackground) {
  form->SetClientHeight(TMainForm::kCollapsedHeight);
  uitest::RecordingCanvas canvas;
  form->PaintAll(canvas);
  const auto bg = std::find_if(canvas.pictures.begin(), canvas.pictures.end(),
                               [&](const auto& p) { return p.picture.SameImage(skins[L"bgpic"]); });
  ASSERT_NE(bg, canvas.pictures.end());
  EXPECT_EQ(bg->dest, (TRect{0, 0, 620, 420})) << "unscaled";
  EXPECT_EQ(bg->clip, (TRect{0, 0, 620, 253}));
}

TEST_F(MainFormFixture, LargeButtonsWearTheProductSkins) {
  for (TTextImageButton* b : {form->btnInstall, form->btnInstallExit, form->btnUninstall, form->btnUninExit}) {
    SCOPED_TRACE(std::string(b->Name().begin(), b->Name().end()));
    EXPECT_TRUE(b->ActualBitmap().SameImage(skins[L"btninst01"]));
    EXPECT_TRUE(b->BitmapOver().SameImage(skins[L"btninst02"]));
    EXPECT_TRUE(b->BitmapDown().SameImage(skins[L"btninst03"]));
    EXPECT_TRUE(b->Stretch());
  }
  EXPECT_EQ(form->btnInstall->BoundsRect(), (TRect{200, 45, 400, 93}));
}

TEST_F(MainFormFixture, PagesAndNamedControls) {
  const std::vector<TTabSheet*> pages = {form->tbInstall, form->tbProcess, form->tbFinish,
                                         form->tbUninstall, form->tbUninProcess, form->tbUninFinish};
  EXPECT_EQ(form->cnMain->Pages(), pages);
  EXPECT_EQ(form->cnMain->ActivePage(), form->tbInstall);
  EXPECT_EQ(form->FindComponent(L"PBPROGRESS"), form->pbProgress);
  EXPECT_EQ(form->pbProgress->Position(), 10);
  EXPECT_EQ(form->tmrAutoInst->Interval(), 100u);
  EXPECT_FALSE(form->tmrAutoInst->Enabled());
  EXPECT_EQ(form->lblPercentNum->Caption(), L"0%");
  EXPECT_FALSE(form->lblTitle->Visible());
}

TEST_F(MainFormFixture, EscapeDoesNothingAndDraggingTheHeaderMoves) {
  wchar_t key = 27;
  form->DispatchKeyPress(key);
  EXPECT_EQ(key, 27);
  EXPECT_EQ(peer.closes, 0);
  form->DispatchMouseDown(TMouseButton::mbLeft, 300, 30);  // background image
  EXPECT_EQ(peer.moves, 1);
  form->DispatchMouseDown(TMouseButton::mbLeft, 600, 10);  // close button
  form->DispatchMouseUp(TMouseButton::mbLeft, 600, 10);
  EXPECT_EQ(peer.moves, 1);
}

TEST_F(MainFormFixture, CloseButtonSpriteFollowsThePointer) {
  TImgBtnEx& close = *form->imgbtnClose;
  EXPECT_EQ(close.BoundsRect(), (TRect{580, 0, 620, 28}));
  form->DispatchMouseMove(600, 10);
  EXPECT_TRUE(close.Picture().SameImage(close.StatePicture(0, 1)));
}

// ---- dialogs

TEST(Dialogs, MessageDialogLayoutAndResults) {
  FakeSkins skins;
  TFrmMsgBox box(L"config data is empty", skins.Source());
  box.SetModal(true);
  EXPECT_EQ(box.Caption(), L"");
  EXPECT_EQ(box.lblMsg->Caption(), L"config data is empty");
  EXPECT_TRUE(box.imgIcon->Picture().SameImage(skins[L"icon_warn"]));
  EXPECT_EQ(box.btnOK->BoundsRect(), (TRect{178, 149, 278, 179}));
  EXPECT_EQ(box.btnOK->Font.color, clWhite);
  EXPECT_EQ(box.Font.name, L"Tahoma");
  box.DispatchMouseMove(200, 160);
  EXPECT_TRUE(box.btnOK->ActualBitmap().SameImage(skins[L"btn_msg_over"]));
  uitest::RecordingCanvas canvas;
  box.PaintAll(canvas);
  const auto over = std::find_if(canvas.pictures.begin(), canvas.pictures.end(),
                                 [&](const auto& p) { return p.picture.SameImage(skins[L"btn_msg_over"]); });
  ASSERT_NE(over, canvas.pictures.end());
  EXPECT_EQ(over->dest, (TRect{0, 3, 100, 27})) << "the larger hover picture shrinks to 100 x 24";
  box.DispatchMouseDown(TMouseButton::mbLeft, 200, 160);
  box.DispatchMouseUp(TMouseButton::mbLeft, 200, 160);
  EXPECT_EQ(box.ModalResult(), mrOk);
}

TEST(Dialogs, EscapeAndCloseButtonGiveCancel) {
  FakeSkins skins;
  TFrmConfirmbox byKey(L"?", true, skins.Source());
  byKey.SetModal(true);
  wchar_t key = 27;
  byKey.DispatchKeyPress(key);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(byKey.ModalResult(), mrCancel);
  wchar_t other = L'y';
  byKey.DispatchKeyPress(other);
  EXPECT_EQ(other, L'y');

  TFrmConfirmbox byButton(L"?", true, skins.Source());
  byButton.DispatchMouseDown(TMouseButton::mbLeft, 420, 10);
  byButton.DispatchMouseUp(TMouseButton::mbLeft, 420, 10);
  EXPECT_EQ(byButton.ModalResult(), mrCancel);
}

TEST(Dialogs, ConfirmHighlightAndHoverCaptions) {
  struct Case {
    bool yesDefault;
    const wchar_t* yesPicture;
    const wchar_t* noPicture;
    TColor yesCaption, yesHovered, noCaption;
  } cases[] = {
      {true, L"btn_msg_normal", L"btn_empty_normal", clWhite, clBlack, clBlack},
      {false, L"btn_empty_normal", L"btn_msg_normal", clBlack, clWhite, clWhite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.yesDefault);
    FakeSkins skins;
    TFrmConfirmbox box(L"您确定要退出安装程序吗?", c.yesDefault, skins.Source());
    EXPECT_TRUE(box.btnYes->ActualBitmap().SameImage(skins[c.yesPicture]));
    EXPECT_TRUE(box.btnNo->ActualBitmap().SameImage(skins[c.noPicture]));
    EXPECT_EQ(box.btnYes->Font.color, c.yesCaption);
    EXPECT_EQ(box.btnNo->Font.color, c.noCaption);
    box.DispatchMouseMove(200, 160);
    EXPECT_EQ(box.btnYes->Font.color, c.yesHovered);
    box.DispatchMouseMove(330, 160);
    EXPECT_EQ(box.btnYes->Font.color, c.yesCaption);
    EXPECT_EQ(box.btnNo->Font.color, c.noCaption) << "no caption change on the other button";
    box.DispatchMouseDown(TMouseButton::mbLeft, 330, 160);
    box.DispatchMouseUp(TMouseButton::mbLeft, 330, 160);
    EXPECT_EQ(box.ModalResult(), mrCancel);
  }
}

TEST(Dialogs, AlreadyInstalledQuestion) {
  FakeSkins skins;
  TFrmCheckIfInstall box(L"检测到计算机中已存在此软件，是否为您更新到最新版本？", skins.Source());
  EXPECT_EQ(box.Width(), 440);
  EXPECT_EQ(box.btnNo->Caption(), L"重新安装软件");
  EXPECT_TRUE(box.btnNo->ActualBitmap().SameImage(skins[L"btn_msg_normal"]));
  EXPECT_TRUE(box.btnYes->ActualBitmap().SameImage(skins[L"btn_empty_normal"]));
  box.DispatchMouseMove(200, 160);
  EXPECT_EQ(box.btnYes->Font.color, clWhite);
  box.DispatchMouseMove(10, 100);
  EXPECT_EQ(box.btnYes->Font.color, clBlack);
  box.DispatchMouseMove(420, 10);
  EXPECT_TRUE(box.imgbtnClose->Picture().SameImage(box.imgbtnClose->StatePicture(0, 1)))
      << "this dialog's close button follows the pointer";
  box.DispatchMouseDown(TMouseButton::mbLeft, 200, 160);
  box.DispatchMouseUp(TMouseButton::mbLeft, 200, 160);
  EXPECT_EQ(box.ModalResult(), mrOk);

  TFrmMsgBox plain(L"x", skins.Source());
  const TPicture before = plain.imgbtnClose->Picture();
  plain.DispatchMouseMove(420, 10);
  EXPECT_TRUE(plain.imgbtnClose->Picture().SameImage(before)) << "the message dialog's close button never changes";
}

TEST(Dialogs, DraggingTheSurfaceButNotTheButtons) {
  FakeSkins skins;
  TFrmConfirmbox box(L"question", false, skins.Source());
  RecordingPeer peer;
  box.SetPeer(&peer);
  for (TPoint p : {TPoint{300, 100}, TPoint{20, 15}, TPoint{110, 70}, TPoint{50, 80}}) {
    box.DispatchMouseDown(TMouseButton::mbLeft, p.x, p.y);  // background, caption, message, icon
  }
  EXPECT_EQ(peer.moves, 4);
  box.DispatchMouseDown(TMouseButton::mbLeft, 200, 160);
  box.DispatchMouseDown(TMouseButton::mbLeft, 420, 10);
  EXPECT_EQ(peer.moves, 4);
}

TEST(Dialogs, LongMessageGrowsDownward) {
  FakeSkins skins;
  TFrmMsgBox box(std::wstring(100, L'x'), skins.Source());
  uitest::RecordingCanvas canvas;
  box.PaintAll(canvas);
  EXPECT_EQ(box.lblMsg->Width(), 320);
  EXPECT_EQ(box.lblMsg->Height(), 3 * 16);
}

TEST(Dialogs, MissingSkinRaises) {
  FakeSkins skins;
  skins.missing = L"icon_ques";
  EXPECT_THROW(TFrmConfirmbox(L"?", true, skins.Source()), common::EGeneralError);
}

// ---- the picture files

// The facts of a PNG file's header: width, height, bit depth, colour type.
std::array<int, 4> PngHeader(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char header[26] = {};
  file.read(reinterpret_cast<char*>(header), sizeof header);
  if (!file || std::string(reinterpret_cast<char*>(header + 12), 4) != "IHDR") return {};
  auto be32 = [&](int at) { return header[at] << 24 | header[at + 1] << 16 | header[at + 2] << 8 | header[at + 3]; };
  return {be32(16), be32(20), header[24], header[25]};
}

TEST(PictureFiles, TheProgramHasEveryPictureOfItsSize) {
  ASSERT_EQ(SkinSizes().size(), 26u) << "the table of pictures was read";
  for (const auto& [name, size] : SkinSizes()) {
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    const auto [width, height, depth, type] =
        PngHeader(TEST_SOURCE_DIR "/resources/pictures/" + std::string(name.begin(), name.end()) + ".png");
    EXPECT_EQ(width, size.cx);
    EXPECT_EQ(height, size.cy);
    EXPECT_EQ(depth, 8);
    EXPECT_TRUE(type == 6 || type == 3) << "RGBA or a palette, colour type " << type;
  }
}

TEST(PictureFiles, TheShippedProductsSkinsAreRgbaOfTheirSizes) {
  int skins = 0;
  for (const auto& [name, size] : SkinSizes()) {
    const std::string path = TEST_SOURCE_DIR "/resources/product/" + std::string(name.begin(), name.end()) + ".png";
    if (!std::ifstream(path)) continue;
    SCOPED_TRACE(path);
    ++skins;
    EXPECT_EQ(PngHeader(path), (std::array<int, 4>{size.cx, size.cy, 8, 6}));
  }
  EXPECT_EQ(skins, 15) << "the shipped product brings its own background, logos, buttons and dialog pictures";
}

}  // namespace
