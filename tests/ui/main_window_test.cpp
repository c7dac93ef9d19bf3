// The Win32 main window as the behaviour sees it: controls by name, pages, heights, skins.
#include <gtest/gtest.h>

#include "common/strings.h"
#include "installer/main_window_win.h"

namespace {

using installer::Ctl;

TEST(MainWindow, ControlsAnswerByTheirNames) {
  installer::TMainWindow window;
  window.SetText(Ctl::edtPath, L"D:\\Apps\\示例");
  EXPECT_EQ(window.Text(Ctl::edtPath), L"D:\\Apps\\示例");
  window.SetText(Ctl::lblBigTitle, L"示例软件");
  EXPECT_EQ(window.Form().lblBigTitle->Caption(), L"示例软件");
  window.MoveTo(Ctl::lblDescription, 228, 147);
  const installer::Bounds b = window.GetBounds(Ctl::lblDescription);
  EXPECT_EQ(b.left, 228);
  EXPECT_EQ(b.top, 147);
  window.SetPosition(Ctl::pbProgress, 80);
  EXPECT_EQ(window.Form().pbProgress->Position(), 80);
  window.SetEnabled(Ctl::imgbtnClose, false);
  EXPECT_FALSE(window.Form().imgbtnClose->Enabled());
  window.SetFontColor(Ctl::lblTitle, installer::kWhite);
  EXPECT_EQ(window.Form().lblTitle->Font.color, 0xFFFFFFu);
  window.ShowPage(installer::Page::tbUninFinish);
  EXPECT_EQ(window.Form().cnMain->ActivePage(), window.Form().tbUninFinish);
}

TEST(MainWindow, HeightAndTitleReachTheWindow) {
  installer::TMainWindow window;
  window.SetHeight(484);
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

}  // namespace
