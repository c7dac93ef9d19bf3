// Test doubles of the platform side: a canvas that records what controls draw (text measured as
// 7 pixels a character and the font's height per line) and a window peer that counts requests.
#pragma once

#include <string>
#include <vector>

#include "ui/canvas.h"
#include "ui/control.h"

namespace uitest {

struct DrawnPicture {
  ui::TPicture picture;
  ui::TRect dest;   // relative to the control
  ui::TRect clip;   // window coordinates
};

struct DrawnText {
  std::wstring text;
  ui::TRect rect;
  ui::TFont font;
  ui::TTextFormat format;
};

class RecordingCanvas : public ui::ICanvas {
 public:
  void BeginControl(const ui::TRect& bounds, const ui::TRect& clip) override {
    bounds_ = bounds;
    clip_ = clip;
  }
  void FillRect(const ui::TRect& rect, ui::TColor color) override { fills.push_back({rect, color}); }
  void DrawPicture(const ui::TPicture& picture, const ui::TRect& dest) override { pictures.push_back({picture, dest, clip_}); }
  void PaintText(const std::wstring& text, const ui::TRect& rect, const ui::TFont& font,
                const ui::TTextFormat& format) override {
    texts.push_back({text, rect, font, format});
  }
  ui::TSize MeasureText(const std::wstring& text, const ui::TFont& font, int maxWidth) override {
    const int width = static_cast<int>(text.size()) * 7;
    if (maxWidth <= 0 || width <= maxWidth) return {width, font.height};
    const int lines = (width + maxWidth - 1) / maxWidth;
    return {maxWidth, lines * font.height};
  }

  struct Fill {
    ui::TRect rect;
    ui::TColor color;
  };
  std::vector<Fill> fills;
  std::vector<DrawnPicture> pictures;
  std::vector<DrawnText> texts;

 private:
  ui::TRect bounds_, clip_;
};

class RecordingPeer : public ui::IFormPeer {
 public:
  void Invalidate() override {}
  void ClientSizeChanged() override {}
  void CaptionChanged() override {}
  void BeginMove() override { ++moves; }
  void Close() override { ++closes; }
  void ModalResultChanged() override {}
  void TimerChanged(ui::TTimer&) override { ++timerChanges; }
  int moves = 0, closes = 0, timerChanges = 0;
};

// A picture whose every pixel has the colour and alpha given.
inline ui::TPicture Solid(int w, int h, ui::TColor rgb = 0x102030, std::uint8_t alpha = 255) {
  return ui::TPicture::Solid(w, h, rgb, alpha);
}

}  // namespace uitest
