// Screenshots of the main window's pages at both heights and of every dialog with each highlighted
// button, hovered and not. Each is saved as PNG under the build tree (screenshots/) and checked at
// pixels that prove the layout. Runs under Wine on a private X display.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "system/gui_thread.h"
#include "ui/dialogs.h"
#include "ui/form_window_win.h"
#include "ui/gdiplus_win.h"
#include "ui/main_form.h"

namespace {

using namespace ui;

struct Rgb {
  int r, g, b;
};

// What the screen shows of a window.
class Shot {
 public:
  explicit Shot(HWND hwnd) {
    RECT rc;
    GetWindowRect(hwnd, &rc);
    left_ = rc.left;
    top_ = rc.top;
    width_ = rc.right - rc.left;
    height_ = rc.bottom - rc.top;
    pixels_.resize(static_cast<std::size_t>(width_) * height_);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width_, height_, screen, left_, top_, SRCCOPY);
    GdiFlush();
    std::memcpy(pixels_.data(), bits, pixels_.size() * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgb At(int x, int y) const {
    const std::uint32_t p = pixels_.at(static_cast<std::size_t>(y) * width_ + x);
    return {static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p & 0xFF)};
  }
  // Pixels in the rectangle darker than the threshold on every channel (text strokes).
  int DarkPixels(int x0, int y0, int x1, int y1, int threshold = 140) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const Rgb c = At(x, y);
        n += c.r < threshold && c.g < threshold && c.b < threshold;
      }
    }
    return n;
  }
  void Save(const std::string& name) const {
    EnsureGdiplus();
    std::vector<std::uint32_t> opaque(pixels_);
    for (auto& p : opaque) p |= 0xFF000000u;
    Gdiplus::Bitmap bitmap(width_, height_, width_ * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(opaque.data()));
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<std::uint8_t> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
      if (std::wstring(encoders[i].MimeType) != L"image/png") continue;
      const std::wstring path = OutputDir() + std::wstring(name.begin(), name.end()) + L".png";
      EXPECT_EQ(bitmap.Save(path.c_str(), &encoders[i].Clsid, nullptr), Gdiplus::Ok) << name;
    }
  }

 private:
  static std::wstring OutputDir() {
    std::string dir = SCREENSHOT_DIR;
    std::wstring out = L"Z:";
    for (char c : dir) out += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    CreateDirectoryW(out.c_str(), nullptr);
    return out + L"\\";
  }
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

// Runs the window's messages for a while so that it is painted on screen.
void Pump(int ms = 300) {
  const DWORD end = GetTickCount() + ms;
  while (GetTickCount() < end) {
    sys::ProcessPendingMessages();
    Sleep(10);
  }
}

void Hover(HWND hwnd, int x, int y) {
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  UpdateWindow(hwnd);
  Pump(150);
}

bool IsBlue(Rgb c) { return c.b > 180 && c.r < 110 && c.b - c.r > 100; }
bool IsWhite(Rgb c) { return c.r > 240 && c.g > 240 && c.b > 240; }
bool IsRed(Rgb c) { return c.r > 160 && c.g < 60 && c.b < 70; }

void Show(TFormWindow& window) {
  ASSERT_TRUE(window.Create(nullptr, true));
  SetWindowPos(window.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  window.Show();
  Pump(600);
}

// The main window as start-up leaves it: product texts placed beside the logo.
struct MainWindow {
  TMainForm form{ResourceSkins()};
  TFormWindow window{form};
  MainWindow() {
    form.ApplySkins(ResourceSkins());
    form.SetbMouseDownToMoveClient(true);
    form.SetClientHeight(TMainForm::kCollapsedHeight);
    form.lblTitle->SetCaption(L"示例软件");
    form.lblTitle->SetFontColor(clWhite);
    form.lblTitle->SetVisible(true);
    form.lblBigTitle->SetCaption(L"示例软件 2024");
    form.lblDescription->SetCaption(L"轻巧、快速、安全的桌面工具");
    const int right = form.imgLogo->Left() + form.imgLogo->Width();
    form.lblBigTitle->SetLeft(right + 60);
    form.lblDescription->SetBounds(right + 60, form.lblDescription->Top() - 15, form.lblDescription->Width(),
                                   form.lblDescription->Height());
    form.edtPath->SetText(L"C:\\Program Files (x86)\\示例软件");
    form.lblWaitingInfo->SetCaption(L"正在下载安装包...");
    form.pbProgress->SetPosition(45);
    form.lblPercentNum->SetCaption(L"45%");
    form.pbUninstall->SetPosition(60);
  }
};

TEST(Screens, MainWindowPages) {
  MainWindow main;
  Show(main.window);
  HWND hwnd = main.window.Handle();
  const TPoint install = main.form.btnInstall->OriginInForm();
  Rgb installButton{};
  struct Page {
    TTabSheet* page;
    const char* name;
  } pages[] = {{main.form.tbInstall, "install"},         {main.form.tbProcess, "process"},
               {main.form.tbFinish, "finish"},           {main.form.tbUninstall, "uninstall"},
               {main.form.tbUninProcess, "uninprocess"}, {main.form.tbUninFinish, "uninfinish"}};
  for (const Page& p : pages) {
    SCOPED_TRACE(p.name);
    main.form.cnMain->SetActivePage(p.page);
    Pump(250);
    const Shot shot(hwnd);
    shot.Save(std::string("main_") + p.name + "_408");
    ASSERT_EQ(shot.Height(), 408);
    ASSERT_EQ(shot.Width(), 620);
    EXPECT_TRUE(IsBlue(shot.At(300, 120))) << "header gradient";
    EXPECT_TRUE(IsBlue(shot.At(300, 8)));
    EXPECT_TRUE(IsWhite(shot.At(300, 255))) << "white body below the header's 253 rows";
    EXPECT_GT(shot.DarkPixels(584, 6, 598, 22, 170), 5) << "grey close cross";
    if (p.page == main.form.tbInstall || p.page == main.form.tbUninstall) {
      const TPoint b = (p.page == main.form.tbInstall ? main.form.btnInstall : main.form.btnUninstall)->OriginInForm();
      EXPECT_TRUE(IsBlue(shot.At(b.x + 12, b.y + 24))) << "large button's blue";
      if (p.page == main.form.tbInstall) installButton = shot.At(install.x + 12, install.y + 24);
    }
    if (p.page == main.form.tbProcess) {
      const TPoint bar = main.form.pbProgress->OriginInForm();
      const Rgb fill = shot.At(bar.x + 10, bar.y + 4);
      EXPECT_EQ(fill.r, 0x0F);
      EXPECT_EQ(fill.g, 0x87);
      EXPECT_EQ(fill.b, 0xFF);
      const Rgb rest = shot.At(bar.x + 400, bar.y + 4);
      EXPECT_EQ(rest.r, 0xDD);
    }
  }

  main.form.cnMain->SetActivePage(main.form.tbInstall);
  Hover(hwnd, 600, 14);
  {
    const Shot shot(hwnd);
    shot.Save("main_install_408_close_hovered");
    EXPECT_TRUE(IsRed(shot.At(586, 4))) << "close button turns red under the pointer";
  }
  Hover(hwnd, install.x + 100, install.y + 24);
  {
    const Shot shot(hwnd);
    shot.Save("main_install_408_button_hovered");
    EXPECT_FALSE(IsRed(shot.At(586, 4))) << "the close button is back to grey";
    const Rgb hovered = shot.At(install.x + 12, install.y + 24);
    EXPECT_TRUE(IsBlue(hovered));
    EXPECT_GT(hovered.r, installButton.r + 10) << "the hover picture is a lighter blue";
  }

  main.form.imgDown->SetVisible(false);
  main.form.imgUp->SetVisible(true);
  main.form.SetClientHeight(TMainForm::kExpandedHeight);
  Hover(hwnd, 10, 300);
  const Shot expanded(hwnd);
  expanded.Save("main_install_484");
  ASSERT_EQ(expanded.Height(), 484);
  EXPECT_GT(expanded.DarkPixels(32, 421, 80, 438), 10) << "the folder row's label shows at 484";
  EXPECT_GT(expanded.DarkPixels(40, 444, 300, 462), 10) << "the folder path in the edit field";
  EXPECT_GT(expanded.DarkPixels(520, 444, 580, 464, 170), 10) << "the change-folder caption";
  const Rgb bottom = expanded.At(300, 483);
  EXPECT_LT(bottom.r, 235) << "bottom edge line follows the height";
}

struct DialogCase {
  const char* name;
  std::function<std::unique_ptr<TSkinDialog>()> make;
  TPoint hover;      // where the pointer rests; (0, 0) for nowhere
  TPoint blue;       // a point that must be blue
  TPoint white;      // a point that must be white, or (0, 0)
  bool closeRed;     // the close button is red
};

TEST(Screens, Dialogs) {
  const TPoint yes{190, 152}, no{323, 152}, ok{187, 152};
  const TPoint yesCheck{190, 152}, noCheck{321, 152};
  const DialogCase cases[] = {
      {"msgbox", [] { return std::make_unique<TFrmMsgBox>(L"当前分区空间不足，剩余空间小于150M! 请重新选择另一分区安装", ResourceSkins()); },
       {0, 0}, ok, {0, 0}, false},
      {"msgbox_ok_hovered", [] { return std::make_unique<TFrmMsgBox>(L"安装失败，请联系官网客服获取免安装包！", ResourceSkins()); },
       {228, 164}, {228, 152}, {0, 0}, false},
      {"confirm_yes_default", [] { return std::make_unique<TFrmConfirmbox>(L"软件启动失败，可能是杀毒软件拦截所致！请先暂停杀毒软件再继续。是否重试？", true, ResourceSkins()); },
       {0, 0}, yes, no, false},
      {"confirm_yes_default_yes_hovered", [] { return std::make_unique<TFrmConfirmbox>(L"软件启动失败，可能是杀毒软件拦截所致！请先暂停杀毒软件再继续。是否重试？", true, ResourceSkins()); },
       {231, 163}, yes, no, false},
      {"confirm_no_default", [] { return std::make_unique<TFrmConfirmbox>(L"您确定要退出安装程序吗?", false, ResourceSkins()); },
       {0, 0}, no, yes, false},
      {"confirm_no_default_yes_hovered", [] { return std::make_unique<TFrmConfirmbox>(L"您确定要退出安装程序吗?", false, ResourceSkins()); },
       {231, 163}, no, {0, 0}, false},
      {"confirm_no_default_no_hovered", [] { return std::make_unique<TFrmConfirmbox>(L"您确定要退出安装程序吗?", false, ResourceSkins()); },
       {364, 163}, no, yes, false},
      {"checkinstall", [] { return std::make_unique<TFrmCheckIfInstall>(L"检测到计算机中已存在此软件，是否为您更新到最新版本？", ResourceSkins()); },
       {0, 0}, noCheck, yesCheck, false},
      {"checkinstall_yes_hovered", [] { return std::make_unique<TFrmCheckIfInstall>(L"检测到计算机中已存在此软件，是否为您更新到最新版本？", ResourceSkins()); },
       {231, 163}, noCheck, {0, 0}, false},
      {"checkinstall_close_hovered", [] { return std::make_unique<TFrmCheckIfInstall>(L"检测到计算机中已存在此软件，是否为您更新到最新版本？", ResourceSkins()); },
       {420, 14}, noCheck, yesCheck, true},
  };
  for (const DialogCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto dialog = c.make();
    TFormWindow window(*dialog);
    Show(window);
    if (c.hover.x) Hover(window.Handle(), c.hover.x, c.hover.y);
    Hover(window.Handle(), c.hover.x ? c.hover.x : 5, c.hover.y ? c.hover.y : 100);
    const Shot shot(window.Handle());
    shot.Save(std::string("dialog_") + c.name);
    EXPECT_EQ(shot.Height(), 192);
    EXPECT_TRUE(IsBlue(shot.At(c.blue.x, c.blue.y))) << "highlighted button";
    if (c.white.x) {
      EXPECT_TRUE(IsWhite(shot.At(c.white.x, c.white.y))) << "plain button";
    }
    EXPECT_EQ(IsRed(shot.At(shot.Width() - 34, 4)), c.closeRed);
    const Rgb band = shot.At(200, 14);
    EXPECT_TRUE(band.r > 225 && band.r < 250) << "light grey title band";
    EXPECT_GT(shot.DarkPixels(9, 5, 45, 26), 5) << "caption 提示";
    EXPECT_GT(shot.DarkPixels(92, 62, 420, 130), 40) << "message text";
  }
}

TEST(Screens, ModalDialogEndsWithEscapeAndButtons) {
  // A modal confirmation answered by a posted Escape, then by a click on "是".
  TFrmConfirmbox first(L"您确定要退出安装程序吗?", false, ResourceSkins());
  TFormWindow firstWindow(first);
  ASSERT_TRUE(firstWindow.Create());
  PostMessageW(firstWindow.Handle(), WM_CHAR, 27, 0);
  EXPECT_EQ(firstWindow.ShowModal(), mrCancel);

  TFrmConfirmbox second(L"您确定要退出安装程序吗?", false, ResourceSkins());
  TFormWindow secondWindow(second);
  ASSERT_TRUE(secondWindow.Create());
  PostMessageW(secondWindow.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 160));
  PostMessageW(secondWindow.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 160));
  EXPECT_EQ(secondWindow.ShowModal(), mrOk);
}

}  // namespace
