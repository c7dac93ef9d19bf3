// The main window's designed layout: blue header with logo and product name, one page of six at a
// time in the white body, the target-folder row below (visible only at the expanded height).
// Behaviour (which page shows, what the buttons do) is attached by the installer's controller
// through the controls' event hooks.
#pragma once

#include "ui/comm_form.h"
#include "ui/img_btn_ex.h"
#include "ui/layout.h"
#include "ui/product_texts.h"
#include "ui/skin.h"
#include "ui/text_image_button.h"

namespace ui {

class TMainForm : public TCommLangForm {
 public:
  static constexpr int kCollapsedHeight = 408;
  static constexpr int kExpandedHeight = 484;

  // Builds the designed layout (client 620 x 506) with every picture of skins: the windows' own
  // look and the product's skins alike. A picture that skins lacks leaves its control without one.
  explicit TMainForm(const TSkinSource& skins);

  // Replaces the background, logos and large-button pictures by the product skins that exist.
  void ApplySkins(const TSkinSource& skins);

  // Puts the product's texts into the header and places them: the version 10 px right of the big
  // title as designed, the big title and the description 60 px right of the logo (the description
  // 15 px higher than it stood), the title in white. Once, at start-up.
  void ShowProductTexts(const TProductTexts& texts);

  // Uncovers the target-folder row (expanded height, the up arrow in the down arrow's place, no
  // selection left in the path), or covers it again.
  void SetFolderRowOpen(bool open);

  TLabel* lblPath;
  TTextImageButton* btnChangeInstall;
  TImage* img2;
  TImage* imgLeft;
  TImage* imgRight;
  TImage* imgBottom;
  TPanel* pnl1;
  TEdit* edtPath;
  TPageControl* cnMain;
  TTimer* tmrAutoInst;

  TImage* imgMain;
  TLabel* lblTitle;
  TImage* imgLogo;
  TLabel* lblBigTitle;
  TLabel* lblDescription;
  TLabel* lblVersion;
  TLabel* lblNameFromExe;
  TImage* imgMiniLogo;
  TImgBtnEx* imgbtnClose;

  TTabSheet* tbInstall;
  TTextImageButton* btnInstall;
  TPanel* pnl2;
  TLabel* lblDesOptions;
  TImage* imgDown;
  TImage* imgUp;

  TTabSheet* tbProcess;
  TLabel* lblDesInstalling;
  TLabel* lblWaitingInfo;
  TProgressBar* pbProgress;
  TLabel* lblPercentNum;

  TTabSheet* tbFinish;
  TLabel* lblDesInstallComplete;
  TTextImageButton* btnInstallExit;

  TTabSheet* tbUninstall;
  TTextImageButton* btnUninstall;

  TTabSheet* tbUninProcess;
  TLabel* lblDesUninstalling;
  TProgressBar* pbUninstall;

  TTabSheet* tbUninFinish;
  TImage* Image1;
  TLabel* lblDesUninstallComplete;
  TTextImageButton* btnUninExit;

 private:
  void BuildHeader(const TSkinSource& skins);
  void BuildPages(const TSkinSource& skins);
  struct TLargeButtonPictures {
    TPicture normal, over, down;
  };
  TTextImageButton* AddLargeButton(TTabSheet* page, const wchar_t* name, TBox box, const wchar_t* caption, int font,
                                   const TLargeButtonPictures& pictures);
};

}  // namespace ui
