// Painting and state of the plain controls.
#include "ui/controls.h"

#include <algorithm>

namespace ui {

void TImage::SetPicture(const TPicture& picture) {
  picture_ = picture;
  if (AutoSize && !picture.Empty()) SetBounds(Left(), Top(), picture.Width(), picture.Height());
  Invalidate();
}

void TImage::ShowPicture(const TPicture& picture) {
  picture_ = picture;
  Invalidate();
}

void TImage::Paint(ICanvas& canvas) {
  if (picture_.Empty()) return;
  if (Stretch) {
    canvas.DrawPicture(picture_, ClientRect());
  } else {
    canvas.DrawPicture(picture_, {0, 0, picture_.Width(), picture_.Height()});
  }
}

void TLabel::SetFontColor(TColor color) {
  Font.color = color;
  Invalidate();
}

std::wstring TLabel::ShownCaption(ICanvas& canvas) const {
  if (!WordWrap || MaxLines <= 0 || caption_.empty()) return caption_;
  const int limit = MaxLines * canvas.MeasureText(caption_.substr(0, 1), Font).cy;
  if (canvas.MeasureText(caption_, Font, Width()).cy <= limit) return caption_;
  const auto fits = [&](std::size_t length) {
    return canvas.MeasureText(caption_.substr(0, length) + L"…", Font, Width()).cy <= limit;
  };
  // The longest start that fits with the ellipsis (a longer start never takes fewer lines).
  std::size_t shortest = 0, longest = caption_.size();
  while (shortest < longest) {
    const std::size_t middle = (shortest + longest + 1) / 2;
    if (fits(middle)) {
      shortest = middle;
    } else {
      longest = middle - 1;
    }
  }
  // Never half of a surrogate pair, nor blanks before the ellipsis.
  if (shortest > 0 && caption_[shortest - 1] >= 0xD800 && caption_[shortest - 1] <= 0xDBFF) --shortest;
  while (shortest > 0 && caption_[shortest - 1] == L' ') --shortest;
  return caption_.substr(0, shortest) + L"…";
}

void TLabel::AdjustBounds(ICanvas& canvas) {
  if (!AutoSize) return;
  const std::wstring shown = ShownCaption(canvas);
  const TSize size = canvas.MeasureText(shown.empty() ? L" " : shown, Font, WordWrap ? Width() : 0);
  if (WordWrap) {
    if (size.cy != Height()) SetBounds(Left(), Top(), Width(), size.cy);
  } else if (const int width = caption_.empty() ? 0 : size.cx; width != Width() || size.cy != Height()) {
    // A right-justified label keeps its right edge, a centred one its centre.
    int left = Left();
    if (Alignment == TAlignment::taRightJustify) left += Width() - width;
    if (Alignment == TAlignment::taCenter) left += (Width() - width) / 2;
    SetBounds(left, Top(), width, size.cy);
  }
}

void TLabel::Paint(ICanvas& canvas) {
  if (!Transparent) canvas.FillRect(ClientRect(), Color);
  if (caption_.empty()) return;
  TTextFormat format;
  format.align = Alignment;
  format.wordWrap = WordWrap;
  canvas.PaintText(ShownCaption(canvas), ClientRect(), Font, format);
}

TTabSheet* TPageControl::AddPage(TTabSheet* page) {
  pages_.push_back(page);
  page->SetBounds(0, 0, Width(), Height());
  page->SetVisible(active_ == nullptr);
  if (!active_) active_ = page;
  return page;
}

void TPageControl::SetActivePage(TTabSheet* page) {
  active_ = page;
  for (TTabSheet* p : pages_) {
    p->SetBounds(0, 0, Width(), Height());
    p->SetVisible(p == page);
  }
}

void TProgressBar::SetPosition(int position) {
  position = std::clamp(position, Min, Max);
  if (position == position_) return;
  position_ = position;
  Invalidate();
  if (OnChange) OnChange(*this);
}

int TProgressBar::FilledWidth() const {
  if (Max <= Min) return 0;
  return static_cast<int>(static_cast<long long>(Width()) * (position_ - Min) / (Max - Min));
}

void TProgressBar::Paint(ICanvas& canvas) {
  canvas.FillRect(ClientRect(), kBackground);
  const int filled = FilledWidth();
  if (filled > 0) canvas.FillRect({0, 0, filled, Height()}, kFill);
}

void TEdit::SetText(const std::wstring& text) {
  text_ = text;
  if (peer_) peer_->SetText(text);
}

void TEdit::SelectNone() {
  if (peer_) peer_->SelectNone();
}

void TEdit::SetPeer(IEditPeer* peer) {
  peer_ = peer;
  if (peer_) {
    peer_->SetText(text_);
    peer_->Sync();
  }
}

bool TEdit::SetStringProperty(std::wstring_view property, const std::wstring& value) {
  if (property == L"Text") {
    SetText(value);
    return true;
  }
  return TControl::SetStringProperty(property, value);
}

void TEdit::SetFontName(const std::wstring& name) {
  Font.name = name;
  if (peer_) peer_->Sync();
}

void TEdit::Paint(ICanvas& canvas) {
  // The native field draws the text; this is its flat one-pixel frame.
  const TColor frame = 0xC8C8C8;
  canvas.FillRect({0, 0, Width(), 1}, frame);
  canvas.FillRect({0, Height() - 1, Width(), Height()}, frame);
  canvas.FillRect({0, 0, 1, Height()}, frame);
  canvas.FillRect({Width() - 1, 0, Width(), Height()}, frame);
}

}  // namespace ui
