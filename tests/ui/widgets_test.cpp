// Pointer dispatch, alignment, labels and progress bars of the widget set.
#include <gtest/gtest.h>

#include "ui/controls.h"
#include "ui/recording.h"

namespace {

using namespace ui;

using uitest::RecordingPeer;

struct WidgetFixture : ::testing::Test {
  TForm form{L"TForm"};
  TPanel* panel = nullptr;
  TLabel* under = nullptr;
  TImage* over = nullptr;
  std::vector<std::wstring> log;

  void SetUp() override {
    form.SetClientSize(300, 200);
    panel = form.Create<TPanel>(nullptr, L"pnl");
    panel->SetBounds(10, 10, 200, 100);
    under = form.Create<TLabel>(panel, L"lbl");
    under->SetBounds(20, 0, 120, 17);
    over = form.Create<TImage>(panel, L"img");
    over->SetBounds(0, 0, 80, 19);
    for (TControl* c : std::initializer_list<TControl*>{panel, under, over}) {
      c->OnMouseEnter = [this](TControl& s) { log.push_back(L"enter " + s.Name()); };
      c->OnMouseLeave = [this](TControl& s) { log.push_back(L"leave " + s.Name()); };
      c->OnMouseDown = [this](TControl& s, TMouseButton, int x, int y) {
        log.push_back(L"down " + s.Name() + L" " + std::to_wstring(x) + L"," + std::to_wstring(y));
      };
      c->OnClick = [this](TControl& s) { log.push_back(L"click " + s.Name()); };
    }
  }
};

TEST_F(WidgetFixture, LaterControlsLieAbove) {
  EXPECT_EQ(form.ControlAt(45, 15), over) << "the image created later covers the label";
  EXPECT_EQ(form.ControlAt(100, 15), under);
  EXPECT_EQ(form.ControlAt(150, 80), panel);
  EXPECT_EQ(form.ControlAt(250, 150), &form);
  EXPECT_EQ(form.ControlAt(300, 10), nullptr) << "outside the client area";
  over->SetVisible(false);
  EXPECT_EQ(form.ControlAt(45, 15), under);
  under->SetEnabled(false);
  EXPECT_EQ(form.ControlAt(45, 15), panel) << "disabled controls let the press through";
}

TEST_F(WidgetFixture, HoverMovesBetweenControls) {
  form.DispatchMouseMove(150, 80);
  form.DispatchMouseMove(100, 15);
  form.DispatchMouseMove(100, 16);
  form.DispatchMouseMove(250, 150);
  EXPECT_EQ(log, (std::vector<std::wstring>{L"enter pnl", L"leave pnl", L"enter lbl", L"leave lbl"}));
}

TEST_F(WidgetFixture, ClickNeedsPressAndReleaseOnTheSameControl) {
  form.DispatchMouseDown(TMouseButton::mbLeft, 100, 15);
  form.DispatchMouseUp(TMouseButton::mbLeft, 100, 15);
  form.DispatchMouseDown(TMouseButton::mbLeft, 100, 15);
  form.DispatchMouseUp(TMouseButton::mbLeft, 250, 150);  // released elsewhere
  form.DispatchMouseDown(TMouseButton::mbRight, 100, 15);
  form.DispatchMouseUp(TMouseButton::mbRight, 100, 15);  // right button: no click
  const auto clicks = std::count(log.begin(), log.end(), L"click lbl");
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), L"down lbl 70,5"), 3) << "coordinates relative to the control";
}

TEST_F(WidgetFixture, PressOnFormReachesItsOwnHandler) {
  form.OnMouseDown = [this](TControl&, TMouseButton b, int x, int y) {
    log.push_back(L"form " + std::to_wstring(static_cast<int>(b)) + L" " + std::to_wstring(x) + L"," + std::to_wstring(y));
  };
  form.DispatchMouseDown(TMouseButton::mbMiddle, 250, 150);
  EXPECT_EQ(log.back(), L"form 2 250,150");
}

TEST(Align, BottomAlignedControlFollowsTheHeight) {
  TForm form{L"TForm"};
  form.SetClientSize(620, 506);
  auto* top = form.Create<TPanel>(nullptr, L"top");
  top->SetBounds(5, 5, 100, 253);
  top->SetAlign(TAlign::alTop);
  auto* bottom = form.Create<TImage>(nullptr, L"bottom");
  bottom->SetBounds(0, 505, 620, 1);
  bottom->SetAlign(TAlign::alBottom);
  auto* right = form.Create<TImage>(nullptr, L"right");
  right->SetBounds(0, 0, 3, 10);
  right->SetAlign(TAlign::alRight);
  EXPECT_EQ(top->BoundsRect(), (TRect{0, 0, 620, 253}));
  form.SetClientHeight(408);
  EXPECT_EQ(bottom->BoundsRect(), (TRect{0, 407, 620, 408}));
  EXPECT_EQ(right->BoundsRect(), (TRect{617, 253, 620, 407}));
  form.SetClientHeight(200);
  EXPECT_EQ(right->Height(), 0) << "no room left between the top and bottom controls";
}

TEST(Label, AutoSizeFollowsTheText) {
  TForm form{L"TForm"};
  form.SetClientSize(400, 300);
  auto* plain = form.Create<TLabel>(nullptr, L"lblPercentNum");
  plain->SetBounds(550, 58, 18, 17);
  plain->Font.height = 12;
  plain->SetCaption(L"100%");
  auto* wrapped = form.Create<TLabel>(nullptr, L"lblMsg");
  wrapped->SetBounds(92, 67, 70, 42);
  wrapped->Font.height = 16;
  wrapped->WordWrap = true;
  wrapped->SetCaption(std::wstring(25, L'x'));  // 175 pixels in the test canvas: three lines of 70
  auto* fixed = form.Create<TLabel>(nullptr, L"lblBigTitle");
  fixed->SetBounds(199, 90, 324, 66);
  fixed->AutoSize = false;
  fixed->SetCaption(L"a long product name that does not fit");
  uitest::RecordingCanvas canvas;
  form.PaintAll(canvas);
  EXPECT_EQ(plain->BoundsRect(), (TRect{550, 58, 578, 70}));
  EXPECT_EQ(wrapped->BoundsRect(), (TRect{92, 67, 162, 115})) << "width stays, height follows the lines";
  EXPECT_EQ(fixed->BoundsRect(), (TRect{199, 90, 523, 156}));
}

TEST(Label, ALineLimitCutsTheCaptionWithAnEllipsis) {
  const std::wstring kEmoji{wchar_t(0xD83D), wchar_t(0xDE00)};  // U+1F600 in UTF-16, as Windows holds it
  // The test canvas measures 7 pixels a character: 10 characters a line in 70 pixels.
  const struct {
    const char* name;
    std::wstring caption;
    int maxLines;
    std::wstring shown;
    int height;
  } cases[] = {
      {"one line", L"short", 2, L"short", 19},
      {"exactly two lines", std::wstring(20, L'a'), 2, std::wstring(20, L'a'), 38},
      {"one character more", std::wstring(21, L'a'), 2, std::wstring(19, L'a') + L"…", 38},
      {"far longer", std::wstring(300, L'b'), 2, std::wstring(19, L'b') + L"…", 38},
      {"no blank before the ellipsis", L"aaaaaaaaaaaaaaaaa  bbbbbbbb", 2, L"aaaaaaaaaaaaaaaaa…", 38},
      {"not half a surrogate pair", std::wstring(18, L'a') + kEmoji + kEmoji, 2,
       std::wstring(18, L'a') + L"…", 38},
      {"one line at most", std::wstring(15, L'c'), 1, std::wstring(9, L'c') + L"…", 19},
      {"no limit", std::wstring(35, L'd'), 0, std::wstring(35, L'd'), 76},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TForm form{L"TForm"};
    form.SetClientSize(400, 300);
    auto* label = form.Create<TLabel>(nullptr, L"lblDescription");
    label->SetBounds(228, 147, 70, 25);
    label->Font.height = 19;
    label->Transparent = true;
    label->WordWrap = true;
    label->MaxLines = c.maxLines;
    label->SetCaption(c.caption);
    uitest::RecordingCanvas canvas;
    form.PaintAll(canvas);
    ASSERT_EQ(canvas.texts.size(), 1u);
    EXPECT_EQ(canvas.texts[0].text, c.shown);
    EXPECT_EQ(label->Caption(), c.caption) << "the caption itself is kept";
    EXPECT_EQ(label->BoundsRect(), (TRect{228, 147, 298, 147 + c.height}));
  }
}

TEST(Label, OpaqueLabelsFillTheirBackground) {
  TForm form{L"TForm"};
  form.SetClientSize(100, 100);
  auto* label = form.Create<TLabel>(nullptr, L"lblWaitingInfo");
  label->SetBounds(0, 0, 50, 17);
  label->AutoSize = false;
  label->Color = 0x123456;
  uitest::RecordingCanvas canvas;
  form.PaintAll(canvas);
  EXPECT_EQ(canvas.fills.back().color, 0x123456u);
  label->Transparent = true;
  uitest::RecordingCanvas again;
  form.PaintAll(again);
  EXPECT_EQ(again.fills.size(), 1u) << "only the form background";
}

TEST(ProgressBar, ClampsReportsChangesAndFills) {
  TForm form{L"TForm"};
  auto* bar = form.Create<TProgressBar>(nullptr, L"pbProgress");
  bar->SetBounds(30, 62, 504, 8);
  std::vector<int> seen;
  bar->OnChange = [&](TProgressBar& b) { seen.push_back(b.Position()); };
  bar->SetPosition(10);
  bar->SetPosition(10);
  bar->SetPosition(150);
  bar->SetPosition(-4);
  EXPECT_EQ(seen, (std::vector<int>{10, 100, 0}));
  bar->SetPosition(50);
  EXPECT_EQ(bar->FilledWidth(), 252);
  uitest::RecordingCanvas canvas;
  bar->Paint(canvas);
  ASSERT_EQ(canvas.fills.size(), 2u);
  EXPECT_EQ(canvas.fills[0].color, TProgressBar::kBackground);
  EXPECT_EQ(canvas.fills[1].rect, (TRect{0, 0, 252, 8}));
  EXPECT_EQ(canvas.fills[1].color, 0x0F87FFu);
}

TEST(PageControl, OnlyTheActivePageShowsAndIsHit) {
  TForm form{L"TForm"};
  form.SetClientSize(620, 408);
  auto* pages = form.Create<TPageControl>(nullptr, L"cnMain");
  pages->SetBounds(14, 262, 590, 138);
  auto* first = pages->AddPage(form.Create<TTabSheet>(pages, L"tbInstall"));
  auto* second = pages->AddPage(form.Create<TTabSheet>(pages, L"tbProcess"));
  auto* label = form.Create<TLabel>(second, L"lbl");
  label->SetBounds(0, 0, 100, 20);
  EXPECT_EQ(form.ControlAt(20, 265), first);
  pages->SetActivePage(second);
  EXPECT_EQ(form.ControlAt(20, 265), label);
  EXPECT_FALSE(first->Showing());
  EXPECT_EQ(second->BoundsRect(), (TRect{0, 0, 590, 138}));
}

TEST(Timer, ChangesReachThePeer) {
  TForm form{L"TForm"};
  RecordingPeer peer;
  form.SetPeer(&peer);
  auto* timer = form.Create<TTimer>(nullptr, L"tmrAutoInst");
  int fired = 0;
  timer->OnTimer = [&](TTimer&) { ++fired; };
  timer->SetInterval(100);
  timer->SetEnabled(false);
  timer->Fire();
  EXPECT_EQ(fired, 0);
  timer->SetEnabled(true);
  timer->Fire();
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(peer.timerChanges, 3);
}

TEST(Form, CloseEndsAModalFormWithCancel) {
  TForm form{L"TForm"};
  RecordingPeer peer;
  form.SetPeer(&peer);
  form.Close();
  EXPECT_EQ(peer.closes, 1);
  EXPECT_EQ(form.ModalResult(), 0);
  form.SetModal(true);
  form.Close();
  EXPECT_EQ(form.ModalResult(), mrCancel);
  EXPECT_EQ(peer.closes, 1);
}

}  // namespace
