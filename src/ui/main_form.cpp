// The main window's designed controls, in creation (stacking) order.
#include "ui/main_form.h"

#include "ui/layout.h"

namespace ui {

namespace {

constexpr TColor kBodyText = 0x4F4F4F;

TTabSheet* AddPage(TForm& form, TPageControl* pages, const wchar_t* name, const wchar_t* caption) {
  auto* page = form.Create<TTabSheet>(pages, name);
  page->SetCaption(caption);
  return pages->AddPage(page);
}

}  // namespace

TMainForm::TMainForm(const TSkinSource& skins) : TCommLangForm(L"TFrmCommInst", L"FrmCommInst") {
  SetClientSize(620, 506);
  Color = clWhite;
  Font = {L"Arial", 12, clWindowText};

  lblPath = AddLabel(*this, nullptr, L"lblPath", {32, 421, 48, 17}, L"安装路径", 12, kBodyText);
  btnChangeInstall = AddButton(*this, nullptr, L"btnChangeInstall", {511, 441, 77, 26}, L"更改目录", 12, clGrayText);
  btnChangeInstall->Cursor = TCursor::crDefault;
  btnChangeInstall->AutoSize = true;
  btnChangeInstall->DisableFontColor = clBlack;
  btnChangeInstall->SetBitmap(skins.LoadIfExists(design::kChangeNormal));
  btnChangeInstall->SetBitmapOver(skins.LoadIfExists(design::kChangeOver));
  btnChangeInstall->SetBitmapDown(skins.LoadIfExists(design::kChangeDown));
  img2 = AddImage(*this, nullptr, L"img2", {-16, 405, 800, 4}, skins.LoadIfExists(design::kSeparator), true);
  const TPicture edge = skins.LoadIfExists(design::kEdgeLine);
  imgLeft = AddImage(*this, nullptr, L"imgLeft", {-2, 250, 4, 260}, edge, true);
  imgRight = AddImage(*this, nullptr, L"imgRight", {618, 240, 2, 260}, edge, true);
  imgBottom = AddImage(*this, nullptr, L"imgBottom", {0, 505, 620, 1}, skins.LoadIfExists(design::kBottomLine), true);
  imgBottom->SetAlign(TAlign::alBottom);
  pnl1 = Create<TPanel>(nullptr, L"pnl1");
  pnl1->SetBounds(0, 0, 620, 253);
  pnl1->Color = clWhite;
  pnl1->SetAlign(TAlign::alTop);
  edtPath = Create<TEdit>(nullptr, L"edtPath");
  edtPath->SetBounds(32, 442, 468, 22);
  edtPath->Font = {L"Arial", 13, kBodyText};
  edtPath->TabOrder = 2;
  cnMain = Create<TPageControl>(nullptr, L"cnMain");
  cnMain->SetBounds(14, 262, 590, 138);
  cnMain->Font = {L"微软雅黑", 12, clHotLight};
  tmrAutoInst = Create<TTimer>(nullptr, L"tmrAutoInst");
  tmrAutoInst->SetInterval(100);
  tmrAutoInst->SetEnabled(false);
  BuildHeader(skins);
  BuildPages(skins);
}

void TMainForm::BuildHeader(const TSkinSource& skins) {
  imgMain = AddImage(*this, pnl1, L"imgMain", {0, 0, 620, 400}, skins.LoadIfExists(L"bgpic"));
  imgMain->SetAlign(TAlign::alTop);
  lblTitle = AddLabel(*this, pnl1, L"lblTitle", {45, 10, 88, 19}, L"XXX软件 v8.30", 13, 0xD4D4D4);
  lblTitle->SetVisible(false);
  imgLogo = AddImage(*this, pnl1, L"imgLogo", {66, 85, 102, 102}, skins.LoadIfExists(L"logo"), false, true);
  lblBigTitle = AddLabel(*this, pnl1, L"lblBigTitle", {199, 90, 324, 66}, L"这里是软件的名称显示软件", 27, clWhite);
  lblBigTitle->AutoSize = false;
  lblBigTitle->WordWrap = true;
  // A long description wraps within the header, as wide as the product name above it, and ends
  // with an ellipsis after two lines instead of running off the window.
  lblDescription = AddLabel(*this, pnl1, L"lblDescription", {199, 162, 324, 25}, L"description", 19, clWhite);
  lblDescription->WordWrap = true;
  lblDescription->MaxLines = 2;
  lblVersion = AddLabel(*this, pnl1, L"lblVersion", {496, 55, 69, 27}, L"3.10", 20, clWhite);
  lblVersion->AutoSize = false;
  lblVersion->WordWrap = true;
  lblVersion->SetVisible(false);
  lblNameFromExe = AddLabel(*this, pnl1, L"lblNameFromExe", {199, 54, 6, 28}, L"", 21, clWhite);
  imgMiniLogo = AddImage(*this, pnl1, L"imgMiniLogo", {14, 9, 25, 25}, skins.LoadIfExists(L"minilogo"));
  imgbtnClose = Create<TImgBtnEx>(pnl1, L"imgbtnClose");
  imgbtnClose->SetBounds(580, 0, 40, 28);
  imgbtnClose->AutoSize = true;
  imgbtnClose->SetPicture(skins.LoadIfExists(design::kCloseButton));
  imgbtnClose->SetPicMultiStatus(skins.LoadIfExists(design::kCloseStrip));
}

TTextImageButton* TMainForm::AddLargeButton(TTabSheet* page, const wchar_t* name, TBox box, const wchar_t* caption,
                                            int font, const TLargeButtonPictures& pictures) {
  auto* button = AddButton(*this, page, name, box, caption, font, clWhite);
  button->SetStretch(true);
  button->DisableFontColor = clBlack;
  button->SetBitmap(pictures.normal);
  button->SetBitmapOver(pictures.over);
  button->SetBitmapDown(pictures.down);
  return button;
}

void TMainForm::BuildPages(const TSkinSource& skins) {
  const TLargeButtonPictures large{skins.LoadIfExists(L"btninst01"), skins.LoadIfExists(L"btninst02"),
                                   skins.LoadIfExists(L"btninst03")};
  tbInstall = AddPage(*this, cnMain, L"tbInstall", L"安装");
  btnInstall = AddLargeButton(tbInstall, L"btnInstall", {200, 45, 200, 48}, L"一键安装", 17, large);
  pnl2 = Create<TPanel>(tbInstall, L"pnl2");
  pnl2->SetBounds(0, 93, 590, 22);
  pnl2->Color = clWhite;
  pnl2->SetAlign(TAlign::alBottom);
  lblDesOptions = AddLabel(*this, pnl2, L"lblDesOptions", {510, 0, 60, 17}, L"自定义安装", 12, 0x444444);
  imgDown = AddImage(*this, pnl2, L"imgDown", {490, 0, 80, 19}, skins.LoadIfExists(design::kArrowDown));
  imgDown->Cursor = TCursor::crHandPoint;
  imgUp = AddImage(*this, pnl2, L"imgUp", {490, 0, 80, 19}, skins.LoadIfExists(design::kArrowUp));
  imgUp->Cursor = TCursor::crHandPoint;
  imgUp->SetVisible(false);

  tbProcess = AddPage(*this, cnMain, L"tbProcess", L"正在安装");
  lblDesInstalling =
      AddLabel(*this, tbProcess, L"lblDesInstalling", {28, 13, 553, 20}, L"软件正在安装，请耐心等候......", 13, kBodyText, false);
  lblDesInstalling->AutoSize = false;
  lblWaitingInfo = AddLabel(*this, tbProcess, L"lblWaitingInfo", {28, 41, 4, 17}, L"", 12, kBodyText, false);
  pbProgress = Create<TProgressBar>(tbProcess, L"pbProgress");
  pbProgress->SetBounds(30, 62, 504, 8);
  pbProgress->SetPosition(10);
  lblPercentNum = AddLabel(*this, tbProcess, L"lblPercentNum", {550, 58, 18, 17}, L"0%", 12, clHotLight);

  tbFinish = AddPage(*this, cnMain, L"tbFinish", L"安装完成");
  lblDesInstallComplete =
      AddLabel(*this, tbFinish, L"lblDesInstallComplete", {3, 15, 572, 20}, L"恭喜！软件已安装成功", 13, kBodyText);
  lblDesInstallComplete->AutoSize = false;
  lblDesInstallComplete->Alignment = TAlignment::taCenter;
  btnInstallExit = AddLargeButton(tbFinish, L"btnInstallExit", {201, 54, 175, 45}, L"安装完成", 19, large);

  tbUninstall = AddPage(*this, cnMain, L"tbUninstall", L"卸载");
  btnUninstall = AddLargeButton(tbUninstall, L"btnUninstall", {189, 41, 175, 45}, L"卸载软件", 19, large);
  btnUninstall->Cursor = TCursor::crDefault;

  tbUninProcess = AddPage(*this, cnMain, L"tbUninProcess", L"正在卸载");
  lblDesUninstalling = AddLabel(*this, tbUninProcess, L"lblDesUninstalling", {25, 16, 556, 20},
                                L"软件正在卸载，请耐心等候......", 13, kBodyText, false);
  lblDesUninstalling->AutoSize = false;
  lblDesUninstalling->Alignment = TAlignment::taCenter;
  pbUninstall = Create<TProgressBar>(tbUninProcess, L"pbUninstall");
  pbUninstall->SetBounds(30, 60, 510, 12);
  pbUninstall->SetPosition(5);

  tbUninFinish = AddPage(*this, cnMain, L"tbUninFinish", L"卸载完成");
  Image1 = AddImage(*this, tbUninFinish, L"Image1", {12, 4, 36, 36}, skins.LoadIfExists(design::kSuccess), false, true);
  lblDesUninstallComplete =
      AddLabel(*this, tbUninFinish, L"lblDesUninstallComplete", {63, 14, 403, 19},
               L"软件已经卸载完成！如果关于软件使用有任何问题欢迎再与我们联系！", 13, kBodyText);
  btnUninExit = AddLargeButton(tbUninFinish, L"btnUninExit", {201, 48, 175, 45}, L"退出", 19, large);
}

void TMainForm::ShowProductTexts(const TProductTexts& texts) {
  lblTitle->SetCaption(texts.title);
  lblVersion->SetCaption(texts.version);
  lblDescription->SetCaption(texts.description);
  lblBigTitle->SetCaption(texts.bigTitle);
  lblVersion->SetBounds(lblBigTitle->Left() + lblBigTitle->Width() + 10, lblVersion->Top(), lblVersion->Width(),
                        lblVersion->Height());

  lblNameFromExe->SetCaption(texts.nameFromExe);
  if (!texts.nameFromExe.empty()) {
    lblBigTitle->SetVisible(false);
    lblNameFromExe->SetBounds(lblNameFromExe->Left(), lblBigTitle->Top(), lblNameFromExe->Width(),
                              lblNameFromExe->Height());
    lblTitle->SetCaption(texts.nameFromExe);
  }

  imgLogo->SetVisible(true);
  const int besideLogo = imgLogo->Left() + imgLogo->Width() + 60;
  lblDescription->SetBounds(besideLogo, lblDescription->Top() - 15, lblDescription->Width(), lblDescription->Height());
  lblBigTitle->SetBounds(besideLogo, lblBigTitle->Top(), lblBigTitle->Width(), lblBigTitle->Height());
  lblTitle->SetFontColor(clWhite);
  lblTitle->SetVisible(true);
}

void TMainForm::SetFolderRowOpen(bool open) {
  imgDown->SetVisible(!open);
  imgUp->SetVisible(open);
  SetClientHeight(open ? kExpandedHeight : kCollapsedHeight);
  if (open) edtPath->SelectNone();
}

void TMainForm::ApplySkins(const TSkinSource& skins) {
  if (skins.exists(L"bgpic")) imgMain->SetPicture(skins.load(L"bgpic"));
  if (skins.exists(L"logo")) imgLogo->SetPicture(skins.load(L"logo"));
  if (skins.exists(L"minilogo")) imgMiniLogo->SetPicture(skins.load(L"minilogo"));
  TTextImageButton* large[] = {btnInstall, btnInstallExit, btnUninstall, btnUninExit};
  if (skins.exists(L"btninst01")) {
    const TPicture p = skins.load(L"btninst01");
    for (auto* b : large) b->SetBitmap(p);
  }
  if (skins.exists(L"btninst02")) {
    const TPicture p = skins.load(L"btninst02");
    for (auto* b : large) b->SetBitmapOver(p);
  }
  if (skins.exists(L"btninst03")) {
    const TPicture p = skins.load(L"btninst03");
    for (auto* b : large) b->SetBitmapDown(p);
  }
}

}  // namespace ui
