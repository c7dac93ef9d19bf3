// The Win32 main window as the behaviour sees it: controls by name, pages, heights, skins.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "common/strings.h"
#include "installer/main_window_win.h"
#include "support/message_box_recorder.h"

namespace {

using installer::Ctl;

TEST(MainWindow, ControlsAnswerByTheirNames) {
  installer::TMainWindow window;
  window.SetText(Ctl::edtPath, L"D:\\Apps\\示例");
  EXPECT_EQ(window.Text(Ctl::edtPath), L"D:\\Apps\\示例");
  window.ShowProductTexts({L"示例", L"1.0", L"说明", L"示例软件", L""});
  EXPECT_EQ(window.Form().lblBigTitle->Caption(), L"示例软件");
  window.SetPosition(Ctl::pbProgress, 80);
  EXPECT_EQ(window.Form().pbProgress->Position(), 80);
  window.SetEnabled(Ctl::imgbtnClose, false);
  EXPECT_FALSE(window.Form().imgbtnClose->Enabled());
  EXPECT_EQ(window.Form().lblTitle->Font.color, 0xFFFFFFu);
  window.ShowPage(installer::Page::tbUninFinish);
  EXPECT_EQ(window.Form().cnMain->ActivePage(), window.Form().tbUninFinish);
}

TEST(MainWindow, HeightAndTitleReachTheWindow) {
  installer::TMainWindow window;
  window.SetFolderRowOpen(true);
  window.SetTitle(L"示例软件");
  RECT rc;
  GetClientRect(window.Handle(), &rc);
  EXPECT_EQ(rc.bottom, 484);
  EXPECT_EQ(rc.right, 620);
  wchar_t caption[64] = {};
  GetWindowTextW(window.Handle(), caption, 64);
  EXPECT_STREQ(caption, L"示例软件");
}

TEST(MainWindow, SkinsComeFromTheResources) {
  installer::TMainWindow window;
  window.ApplySkin(installer::SkinSlot::ButtonsBitmap, L"btninst01");
  EXPECT_EQ(window.Form().btnUninExit->Bitmap().Width(), 200);
  window.ApplySkin(installer::SkinSlot::imgMain, L"BGPIC");
  EXPECT_EQ(window.Form().imgMain->Picture().Height(), 420);
  EXPECT_THROW(window.ApplySkin(installer::SkinSlot::imgLogo, L"nosuchskin"), common::EGeneralError);
}

// The standard message box and the Yes/No question go through the system's one message-box path:
// the window owns them, the title is the caption.
TEST(MainWindow, MessageBoxesAreOwnedByTheWindowWithItsTitle) {
  test_support::MessageBoxRecorder boxes({IDOK, IDOK, IDYES, IDNO});
  installer::TMainWindow window;
  window.ShowMessageBox(L"服务名未填");
  window.SetTitle(L"示例软件");
  window.ShowMessageBox(L"资源不存在");
  EXPECT_TRUE(window.AskYesNo(L"警告", L"网络连接异常，是否尝试重连？"));
  EXPECT_FALSE(window.AskYesNo(L"警告", L"网络连接异常，是否尝试重连？"));
  ASSERT_EQ(boxes.Boxes().size(), 4u);
  const struct {
    const wchar_t* caption;
    const wchar_t* text;
    std::uint32_t style;
  } expected[] = {
      {L"Install", L"服务名未填", MB_OK},
      {L"示例软件", L"资源不存在", MB_OK},
      {L"警告", L"网络连接异常，是否尝试重连？", MB_YESNO | MB_ICONQUESTION},
      {L"警告", L"网络连接异常，是否尝试重连？", MB_YESNO | MB_ICONQUESTION},
  };
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(boxes.Boxes()[i].owner, window.Handle());
    EXPECT_EQ(boxes.Boxes()[i].caption, expected[i].caption);
    EXPECT_EQ(boxes.Boxes()[i].text, expected[i].text);
    EXPECT_EQ(boxes.Boxes()[i].style, expected[i].style);
  }
  // Once the window is gone, a box has no owner rather than a dead one.
  DestroyWindow(window.Handle());
  MSG quit;
  PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the main window's own, not this test's
  window.ShowMessageBox(L"服务名未填");
  ASSERT_EQ(boxes.Boxes().size(), 5u);
  EXPECT_EQ(boxes.Boxes()[4].owner, nullptr);
}

// What a click handler throws ends at the window procedure: it goes to the one error path (here
// its default, the standard message box) and the window goes on serving its messages.
TEST(MainWindow, AnErrorThrownByAHandlerEndsAtTheWindowProcedure) {
  test_support::MessageBoxRecorder boxes;
  installer::TMainWindow window;
  window.SetTitle(L"示例软件");
  window.ShowPage(installer::Page::tbInstall);
  ui::TControl& button = *window.Form().btnInstall;
  const ui::TPoint origin = button.OriginInForm();
  const LPARAM at = MAKELPARAM(origin.x + button.Width() / 2, origin.y + button.Height() / 2);
  const struct {
    std::function<void()> raise;
    const wchar_t* message;
  } cases[] = {
      {[] { common::RaiseError(L"安装出错"); }, L"安装出错"},
      {[] { throw std::length_error("basic_string::_M_create"); }, L"basic_string::_M_create"},
  };
  for (const auto& c : cases) {
    int clicks = 0;
    button.OnClick = [&](ui::TControl&) {
      ++clicks;
      c.raise();
    };
    SendMessageW(window.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(window.Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(clicks, 1);
  }
  button.OnClick = nullptr;
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(boxes.Boxes()[i].text, cases[i].message);
    EXPECT_EQ(boxes.Boxes()[i].caption, L"示例软件");
    EXPECT_EQ(boxes.Boxes()[i].owner, window.Handle());
  }
  EXPECT_TRUE(IsWindow(window.Handle()));
}

}  // namespace
