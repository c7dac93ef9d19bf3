// Layout and handlers of the dialogs.
#include "ui/dialogs.h"

namespace ui {

namespace {

constexpr TColor kCaptionGrey = 0x3A3A3A;

}  // namespace

TSkinDialog::TSkinDialog(const TDesign& d, const TSkinSource& skins) : TCommLangForm(d.className, d.name) {
  SetCaption(d.title);
  SetClientSize(d.width, d.height);
  Color = clWhite;
  imgMain = AddImage(*this, nullptr, L"imgMain", {0, 0, d.width, 194}, skins.load(L"msgbox"), true, true);
  imgMain->SetAlign(TAlign::alTop);
  lblCaption = AddLabel(*this, nullptr, L"lblCaption", d.caption, L"提示", d.captionFont, d.captionColor);
  imgIcon = AddImage(*this, nullptr, L"imgIcon", d.icon, TPicture(), false, true);
  lblMsg = AddLabel(*this, nullptr, L"lblMsg", d.message, L"", d.messageFont, clWindowText);
  lblMsg->WordWrap = true;
}

void TSkinDialog::AddFrame(const TSkinSource& skins, bool closeSprite) {
  const TPicture line = skins.LoadIfExists(design::kEdgeLine);
  AddImage(*this, nullptr, L"imgBottom", {0, Height() - 2, Width(), 2}, line, true)->SetAlign(TAlign::alBottom);
  AddImage(*this, nullptr, L"imgLeft", {-2, -73, 4, 280}, line, true);
  AddImage(*this, nullptr, L"imgRight", {Width() - 3, 0, 3, 0}, line, true)->SetAlign(TAlign::alRight);
  imgbtnClose = Create<TImgBtnEx>(nullptr, L"imgbtnClose");
  imgbtnClose->SetBounds(Width() - 40, 0, 40, 28);
  imgbtnClose->AutoSize = true;
  imgbtnClose->SetPicture(skins.LoadIfExists(design::kCloseButton));
  if (closeSprite) imgbtnClose->SetPicMultiStatus(skins.LoadIfExists(design::kCloseStrip));
  imgbtnClose->OnClick = [this](TControl&) { SetModalResult(mrCancel); };
}

void TSkinDialog::SkinButton(TTextImageButton& button, const TSkinSource& skins, bool highlighted) {
  button.SetBitmap(skins.load(highlighted ? L"btn_msg_normal" : L"btn_empty_normal"));
  button.SetBitmapOver(skins.load(highlighted ? L"btn_msg_over" : L"btn_empty_over"));
  button.SetBitmapDown(skins.load(highlighted ? L"btn_msg_down" : L"btn_empty_down"));
  button.SetFontColor(highlighted ? clWhite : clBlack);
}

TFrmMsgBox::TFrmMsgBox(const std::wstring& msg, const TSkinSource& skins)
    : TSkinDialog({L"TFrmMsgBox", L"FrmMsgBox", L"FrmMsgBox", 442, 192, {10, 5, 32, 21}, 16, kCaptionGrey,
                   {38, 68, 40, 40}, {92, 67, 320, 42}, 16, false},
                  skins) {
  btnOK = AddButton(*this, nullptr, L"btnOK", {178, 149, 100, 30}, L"确定", 16, clWhite);
  btnOK->AutoSize = true;
  btnOK->SetProportional(true);
  btnOK->DisableFontColor = clBlack;
  btnOK->OnClick = [this](TControl&) { SetModalResult(mrOk); };
  AddFrame(skins, false);
  CreateCommLang(true);
  lblMsg->SetCaption(msg);
  // FormCreate
  SetCaption(L"");
  imgIcon->SetPicture(skins.load(L"icon_warn"));
  SkinButton(*btnOK, skins, true);
}

TQuestionDialog::TQuestionDialog(const TDesign& design, const TButtons& b, const TSkinSource& skins)
    : TSkinDialog(design, skins) {
  btnYes = AddButton(*this, nullptr, L"btnYes", b.yes, b.yesCaption, b.font, clBlack);
  btnNo = AddButton(*this, nullptr, L"btnNo", b.no, b.noCaption, b.font, clWhite);
  for (TTextImageButton* button : {btnYes, btnNo}) {
    button->AutoSize = true;
    button->DisableFontColor = clBlack;
  }
  btnYes->OnClick = [this](TControl&) { SetModalResult(mrOk); };
  btnNo->OnClick = [this](TControl&) { SetModalResult(mrCancel); };
  AddFrame(skins, design.closeSprite);
  imgIcon->SetPicture(skins.load(L"icon_ques"));
}

TFrmConfirmbox::TFrmConfirmbox(const std::wstring& msg, bool btnYesDefault, const TSkinSource& skins)
    : TQuestionDialog({L"TFrmConfirmbox", L"FrmConfirmbox", L"FrmConfirmbox", 442, 192, {9, 6, 32, 21}, 16,
                       kCaptionGrey, {34, 64, 40, 40}, {99, 60, 320, 63}, 16, false},
                      {{181, 148, 100, 30}, {314, 148, 100, 30}, L"是", L"否", 16}, skins) {
  CreateCommLang(true);
  FBtnYesDefault = btnYesDefault;
  lblMsg->SetCaption(msg);
  // FormCreate
  SkinButton(*btnYes, skins, FBtnYesDefault);
  SkinButton(*btnNo, skins, !FBtnYesDefault);
  btnYes->OnMouseEnter = [this](TControl&) { btnYes->SetFontColor(FBtnYesDefault ? clBlack : clWhite); };
  btnYes->OnMouseLeave = [this](TControl&) { btnYes->SetFontColor(FBtnYesDefault ? clWhite : clBlack); };
}

TFrmCheckIfInstall::TFrmCheckIfInstall(const std::wstring& msg, const TSkinSource& skins)
    : TQuestionDialog({L"TFrmCheckIfInstall", L"FrmCheckIfInstall", L"FrmCheckIfInstall", 440, 192, {9, 6, 26, 19},
                       13, clWindowText, {34, 64, 40, 40}, {99, 64, 313, 38}, 13, true},
                      {{181, 148, 100, 30}, {312, 148, 100, 30}, L"打开软件", L"重新安装软件", 13}, skins) {
  CreateCommLang(true);
  lblMsg->SetCaption(msg);
  // FormCreate
  SkinButton(*btnYes, skins, false);
  SkinButton(*btnNo, skins, true);
  btnYes->OnMouseEnter = [this](TControl&) { btnYes->SetFontColor(clWhite); };
  btnYes->OnMouseLeave = [this](TControl&) { btnYes->SetFontColor(clBlack); };
}

}  // namespace ui
