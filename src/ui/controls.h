// The plain controls of the skinned windows: image, label, panel, page control with hidden tabs,
// flat progress bar and the folder edit field (a native EDIT window on Windows).
#pragma once

#include <functional>

#include "ui/control.h"

namespace ui {

// Shows a picture: at its own size from the top-left corner (clipped to the box), or stretched to
// the box. With AutoSize the box takes the picture's size whenever a picture is assigned.
class TImage : public TControl {
 public:
  explicit TImage(std::wstring name, std::wstring className = L"TImage") : TControl(std::move(className), std::move(name)) {}
  const TPicture& Picture() const { return picture_; }
  void SetPicture(const TPicture& picture);
  bool AutoSize = false;
  bool Stretch = false;
  void Paint(ICanvas& canvas) override;

 protected:
  // Changes the picture on display without auto-sizing (state pictures of the image buttons).
  void ShowPicture(const TPicture& picture);

 private:
  TPicture picture_;
};

// Text in its own font. With AutoSize (the default) the box follows the text: both sides without
// word wrap, only the height with word wrap.
class TLabel : public TControl {
 public:
  explicit TLabel(std::wstring name) : TControl(L"TLabel", std::move(name)) { hasCaption_ = true; }
  TFont Font;
  TColor Color = clWindow;  // background when not transparent
  bool Transparent = false;
  bool WordWrap = false;
  // With WordWrap, the most lines shown (0: any number); a longer caption is cut where its last
  // line still fits with an ellipsis "…" after it.
  int MaxLines = 0;
  bool AutoSize = true;
  TAlignment Alignment = TAlignment::taLeftJustify;
  void SetFontColor(TColor color);
  bool HasFont() const override { return true; }
  void SetFontName(const std::wstring& name) override { Font.name = name; }
  void AdjustBounds(ICanvas& canvas) override;
  void Paint(ICanvas& canvas) override;
  // The caption as it is painted in the label's width: whole, or cut to MaxLines lines.
  std::wstring ShownCaption(ICanvas& canvas) const;
};

class TPanel : public TControl {
 public:
  explicit TPanel(std::wstring name) : TControl(L"TPanel", std::move(name)) { hasCaption_ = true; }
  TFont Font;
  TColor Color = clBtnFace;
  bool HasFont() const override { return true; }
  void SetFontName(const std::wstring& name) override { Font.name = name; }
  void Paint(ICanvas& canvas) override { canvas.FillRect(ClientRect(), Color); }
};

class TTabSheet : public TControl {
 public:
  explicit TTabSheet(std::wstring name) : TControl(L"TTabSheet", std::move(name)) { hasCaption_ = true; }
  TColor Color = clWhite;
  bool TabVisible = true;
  void Paint(ICanvas& canvas) override { canvas.FillRect(ClientRect(), Color); }
};

// Pages fill the whole control and only the active one shows; the tab row is never drawn.
class TPageControl : public TControl {
 public:
  explicit TPageControl(std::wstring name) : TControl(L"TPageControl", std::move(name)) {}
  TFont Font;
  TColor Color = clWhite;
  TTabSheet* AddPage(TTabSheet* page);
  TTabSheet* ActivePage() const { return active_; }
  void SetActivePage(TTabSheet* page);
  const std::vector<TTabSheet*>& Pages() const { return pages_; }
  bool HasFont() const override { return true; }
  void SetFontName(const std::wstring& name) override { Font.name = name; }
  void Paint(ICanvas& canvas) override { canvas.FillRect(ClientRect(), Color); }

 private:
  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
};

// A flat bar without border or text.
class TProgressBar : public TControl {
 public:
  explicit TProgressBar(std::wstring name) : TControl(L"TProgressBar", std::move(name)) {}
  static constexpr TColor kFill = 0x0F87FF;
  static constexpr TColor kBackground = 0xDDDDDD;
  int Min = 0;
  int Max = 100;
  int Position() const { return position_; }
  // Clamped to Min..Max; OnChange runs when the value changes.
  void SetPosition(int position);
  std::function<void(TProgressBar&)> OnChange;
  // Pixels of the bar's width that the fill covers.
  int FilledWidth() const;
  void Paint(ICanvas& canvas) override;

 private:
  int position_ = 0;
};

// The native control behind an edit field.
class IEditPeer {
 public:
  virtual ~IEditPeer() = default;
  virtual std::wstring GetText() = 0;
  virtual void SetText(const std::wstring& text) = 0;
  virtual void SelectNone() = 0;
  virtual void Sync() = 0;  // place, visibility and font changed
};

class TEdit : public TControl {
 public:
  explicit TEdit(std::wstring name) : TControl(L"TEdit", std::move(name)) {}
  TEdit* AsEdit() override { return this; }
  TFont Font;
  int TabOrder = 0;
  std::wstring Text() const { return peer_ ? peer_->GetText() : text_; }
  void SetText(const std::wstring& text);
  // Removes the text selection, leaving the caret.
  void SelectNone();
  void SetPeer(IEditPeer* peer);
  IEditPeer* Peer() const { return peer_; }
  bool SetStringProperty(std::wstring_view property, const std::wstring& value) override;
  bool HasFont() const override { return true; }
  void SetFontName(const std::wstring& name) override;
  void Paint(ICanvas& canvas) override;

 private:
  std::wstring text_;
  IEditPeer* peer_ = nullptr;
};

}  // namespace ui
