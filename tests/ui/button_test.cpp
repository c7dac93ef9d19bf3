// Sprite slicing, placement rules and the state rules of both image buttons.
#include <gtest/gtest.h>

#include "ui/geometry.h"
#include "ui/img_btn_ex.h"
#include "ui/sprite.h"
#include "ui/text_image_button.h"
#include "ui/recording.h"

namespace {

using namespace ui;
using uitest::RecordingCanvas;
using uitest::Solid;

// A strip whose column x has red = x, green = row, blue = 7 and alpha = 100 + x % 50.
TPicture Strip(int w, int h, TPngColorType type = TPngColorType::Rgba, bool hasAlpha = true) {
  std::vector<std::uint8_t> px;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      px.insert(px.end(), {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7,
                           static_cast<std::uint8_t>(hasAlpha ? 100 + x % 50 : 255)});
    }
  }
  return TPicture::FromRgba(w, h, std::move(px), type, hasAlpha);
}

TEST(SplitSprite, CutsFourSlicesLeftToRight) {
  std::array<TPicture, 4> out;
  SplitSprite(Strip(160, 28), 4, TAlphaType::atAuto, {&out[0], &out[1], &out[2], &out[3]});
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    ASSERT_EQ(out[k].Width(), 40);
    ASSERT_EQ(out[k].Height(), 28);
    const std::uint8_t* p = out[k].Pixel(3, 5);
    EXPECT_EQ(p[0], k * 40 + 3);
    EXPECT_EQ(p[1], 5);
    EXPECT_EQ(p[3], 100 + (k * 40 + 3) % 50);
  }
}

TEST(SplitSprite, IgnoresColumnsBeyondWholeSlices) {
  std::array<TPicture, 4> out;
  SplitSprite(Strip(161, 28), 4, TAlphaType::atAuto, {&out[0], &out[1], &out[2], &out[3]});
  EXPECT_EQ(out[3].Width(), 40);
  EXPECT_EQ(out[3].Pixel(39, 0)[0], 159);
}

TEST(SplitSprite, ThreeSlicesLeaveTheFourthTargetAlone) {
  std::array<TPicture, 4> out;
  const TPicture before = Solid(5, 5);
  out[3] = before;
  SplitSprite(Strip(120, 10), 3, TAlphaType::atAuto, {&out[0], &out[1], &out[2], &out[3]});
  EXPECT_EQ(out[2].Pixel(0, 0)[0], 80);
  EXPECT_TRUE(out[3].SameImage(before));
}

TEST(SplitSprite, AlphaFollowsTheModeAndTheStrip) {
  struct Case {
    const char* name;
    TPngColorType type;
    bool hasAlpha;
    TAlphaType mode;
    int expectedAlpha;  // of column 3
  } cases[] = {
      {"rgba auto", TPngColorType::Rgba, true, TAlphaType::atAuto, 103},
      {"rgba forced", TPngColorType::Rgba, true, TAlphaType::atAlpha, 103},
      {"rgba without alpha copying", TPngColorType::Rgba, true, TAlphaType::atNoAlpha, 255},
      {"rgb auto", TPngColorType::Rgb, false, TAlphaType::atAuto, 255},
      {"rgb forced", TPngColorType::Rgb, false, TAlphaType::atAlpha, 255},
      {"grey with alpha auto", TPngColorType::GrayAlpha, true, TAlphaType::atAuto, 103},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPicture slice;
    SplitSprite(Strip(40, 4, c.type, c.hasAlpha), 4, c.mode, {&slice, nullptr, nullptr, nullptr});
    ASSERT_EQ(slice.Width(), 10);
    EXPECT_EQ(slice.Pixel(3, 1)[3], c.expectedAlpha);
    EXPECT_EQ(slice.Pixel(3, 1)[0], 3) << "colour is always copied";
  }
}

TEST(SplitSprite, EmptyStripOrNoSlicesChangesNothing) {
  TPicture target = Solid(2, 2);
  const TPicture before = target;
  SplitSprite(TPicture(), 4, TAlphaType::atAuto, {&target, nullptr, nullptr, nullptr});
  SplitSprite(Strip(8, 8), 0, TAlphaType::atAuto, {&target, nullptr, nullptr, nullptr});
  EXPECT_TRUE(target.SameImage(before));
}

TEST(Geometry, TargetRect) {
  struct Case {
    TSize picture, client;
    bool stretch, proportional;
    TRect expected;
  } cases[] = {
      {{40, 20}, {100, 30}, false, false, {30, 5, 70, 25}},        // centred at its size
      {{200, 48}, {100, 30}, false, false, {-50, -9, 150, 39}},    // larger: centred and clipped
      {{150, 45}, {200, 48}, true, false, {0, 0, 200, 48}},        // stretched to the button
      {{200, 48}, {100, 30}, false, true, {0, 3, 100, 27}},        // shrunk to 100 x 24
      {{40, 20}, {100, 30}, false, true, {30, 5, 70, 25}},         // fits: proportional does nothing
      {{20, 40}, {100, 30}, true, true, {42, 0, 57, 30}},          // taller than wide
      {{100, 10}, {50, 2}, true, true, {15, 0, 35, 2}},            // width-limited first, then height
      {{0, 0}, {100, 30}, true, true, {0, 0, 100, 30}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TargetRect(c.picture, c.client, c.stretch, c.proportional), c.expected)
        << c.picture.cx << "x" << c.picture.cy << " in " << c.client.cx << "x" << c.client.cy;
  }
}

TEST(Geometry, CaptionAndIconPlacement) {
  EXPECT_EQ(CaptionRect({100, 30}, {28, 16}, 0), (TRect{36, 7, 64, 23}));
  EXPECT_EQ(CaptionRect({100, 30}, {160, 16}, 0), (TRect{-30, 7, 130, 23})) << "wider than the button: still centred";
  EXPECT_EQ(CaptionRect({100, 30}, {60, 16}, 16).left, 32) << "a centred caption would overlap the 16-pixel icon";
  EXPECT_EQ(CaptionRect({200, 30}, {14, 16}, 16).left, 93) << "a centred caption beyond the icon stays centred";
  EXPECT_EQ(CaptionRect({100, 29}, {10, 16}, 0).top, 6);
  EXPECT_EQ(SmallIconTop(30, 16), 8);
  EXPECT_EQ(SmallIconTop(10, 30), 0);
}

// ---- TImgBtnEx

struct ImgBtnFixture : ::testing::Test {
  TForm form{L"TForm"};
  TImgBtnEx* btn = nullptr;
  std::vector<std::string> events;

  void SetUp() override {
    form.SetClientSize(200, 100);
    btn = form.Create<TImgBtnEx>(nullptr, L"imgbtnClose");
    btn->SetBounds(100, 0, 40, 28);
    btn->AutoSize = true;
    btn->OnMouseEnter = [this](TImgBtnEx&, const TMouseMessage&) { events.push_back("enter"); };
    btn->OnMouseLeave = [this](TImgBtnEx&, const TMouseMessage&) { events.push_back("leave"); };
    btn->OnMouseDown = [this](TImgBtnEx&, const TMouseMessage& m) {
      events.push_back("down " + std::to_string(m.x) + "," + std::to_string(m.y));
    };
    btn->OnMouseUp = [this](TImgBtnEx&, const TMouseMessage&) { events.push_back("up"); };
    btn->OnClick = [this](TControl&) { events.push_back("click"); };
  }
  // 0 normal, 1 hover, 2 pressed, 3 disabled, -1 another picture.
  int Shown() const {
    for (int s = 0; s < 4; ++s) {
      if (btn->Picture().SameImage(btn->StatePicture(btn->ImgStatus(), s))) return s;
    }
    return -1;
  }
};

TEST_F(ImgBtnFixture, PictureFollowsThePointer) {
  btn->SetPicMultiStatus(Strip(160, 28));
  EXPECT_EQ(Shown(), 0);
  form.DispatchMouseMove(110, 10);
  EXPECT_EQ(Shown(), 1);
  form.DispatchMouseDown(TMouseButton::mbLeft, 110, 10);
  EXPECT_EQ(Shown(), 2);
  form.DispatchMouseMove(10, 50);  // dragged off while pressed
  EXPECT_EQ(Shown(), 0);
  form.DispatchMouseMove(112, 12);  // and back: still pressed
  EXPECT_EQ(Shown(), 2);
  form.DispatchMouseUp(TMouseButton::mbLeft, 112, 12);
  EXPECT_EQ(Shown(), 1);
  form.DispatchMouseLeaveWindow();
  EXPECT_EQ(Shown(), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "down 10,10", "leave", "enter", "click", "up", "leave"}));
}

TEST_F(ImgBtnFixture, DownStatusHoldsThePressedPicture) {
  btn->SetPicMultiStatus(Strip(160, 28));
  btn->SetDownStatus(true);
  EXPECT_EQ(Shown(), 2);
  form.DispatchMouseMove(110, 10);
  form.DispatchMouseDown(TMouseButton::mbLeft, 110, 10);
  form.DispatchMouseUp(TMouseButton::mbLeft, 110, 10);
  form.DispatchMouseMove(10, 50);
  EXPECT_EQ(Shown(), 2);
  EXPECT_EQ(events, (std::vector<std::string>{"down 10,10", "click"})) << "no enter, leave or up while held down";
  btn->SetDownStatus(false);
  EXPECT_EQ(Shown(), 0);
}

TEST_F(ImgBtnFixture, DisablingShowsTheDisabledSliceOnlyWhenThereIsOne) {
  btn->SetPicMultiStatus(Strip(160, 28));
  btn->SetEnabled(false);
  EXPECT_EQ(Shown(), 3);
  form.DispatchMouseMove(110, 10);
  form.DispatchMouseDown(TMouseButton::mbLeft, 110, 10);
  form.DispatchMouseUp(TMouseButton::mbLeft, 110, 10);
  EXPECT_TRUE(events.empty()) << "a disabled button raises nothing";
  btn->SetEnabled(true);
  EXPECT_EQ(Shown(), 0);

  auto* three = form.Create<TImgBtnEx>(nullptr, L"three");
  three->PicSplitNum = 3;
  three->SetPicMultiStatus(Strip(120, 28));
  EXPECT_TRUE(three->StatePicture(0, 3).Empty());
  three->SetEnabled(false);
  EXPECT_TRUE(three->Picture().SameImage(three->StatePicture(0, 0))) << "no disabled picture: the normal one stays";
}

TEST_F(ImgBtnFixture, PlainPictureNeverChangesButRaisesEvents) {
  const TPicture plain = Solid(40, 28);
  btn->SetPicture(plain);
  form.DispatchMouseMove(110, 10);
  form.DispatchMouseDown(TMouseButton::mbLeft, 110, 10);
  form.DispatchMouseUp(TMouseButton::mbLeft, 110, 10);
  btn->SetEnabled(false);
  EXPECT_TRUE(btn->Picture().SameImage(plain));
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "down 10,10", "click", "up"}));
}

TEST_F(ImgBtnFixture, NewStatusSlicesTheBadgeStripLazily) {
  btn->SetPicMultiStatus(Strip(160, 28));
  TPicture badge = Solid(160, 28, 0xAA0000);
  btn->SetPicNewStatus(badge);
  EXPECT_EQ(btn->ImgStatus(), 1);
  btn->SetNewStatus(false);
  EXPECT_EQ(Shown(), 0);
  EXPECT_EQ(btn->Picture().Pixel(0, 0)[2], 7) << "set 0 is the normal strip";
  btn->SetDownStatus(true);
  btn->SetNewStatus(true);
  EXPECT_EQ(Shown(), 2);
  EXPECT_EQ(btn->Picture().Pixel(0, 0)[0], 0xAA);
}

TEST_F(ImgBtnFixture, ReleaseOutsideIsNoClick) {
  btn->SetPicMultiStatus(Strip(160, 28));
  form.DispatchMouseDown(TMouseButton::mbLeft, 110, 10);
  form.DispatchMouseUp(TMouseButton::mbLeft, 10, 60);
  EXPECT_EQ(std::count(events.begin(), events.end(), "click"), 0);
  EXPECT_FALSE(btn->Down());
}

// ---- TTextImageButton

struct TextButtonFixture : ::testing::Test {
  TForm form{L"TForm"};
  TTextImageButton* btn = nullptr;
  TPicture normal = Solid(100, 30, 1), over = Solid(100, 30, 2), down = Solid(100, 30, 3);
  std::vector<std::string> events;

  void SetUp() override {
    form.SetClientSize(300, 100);
    btn = form.Create<TTextImageButton>(nullptr, L"btnYes");
    btn->SetBounds(10, 10, 100, 30);
    btn->SetBitmap(normal);
    btn->SetBitmapOver(over);
    btn->SetBitmapDown(down);
    btn->SetCaption(L"是");
    btn->OnClick = [this](TControl&) { events.push_back("click"); };
    btn->OnMouseEnter = [this](TControl&) { events.push_back("enter"); };
    btn->OnMouseLeave = [this](TControl&) { events.push_back("leave"); };
    btn->OnMouseDown = [this](TControl&, TMouseButton, int, int) { events.push_back("down"); };
    btn->OnMouseUp = [this](TControl&, TMouseButton, int, int) { events.push_back("up"); };
  }
  RecordingCanvas Paint() {
    RecordingCanvas canvas;
    form.PaintAll(canvas);
    return canvas;
  }
};

TEST_F(TextButtonFixture, LastEventDecidesThePicture) {
  EXPECT_TRUE(btn->ActualBitmap().SameImage(normal));
  form.DispatchMouseMove(20, 20);
  EXPECT_TRUE(btn->ActualBitmap().SameImage(over));
  form.DispatchMouseDown(TMouseButton::mbLeft, 20, 20);
  EXPECT_TRUE(btn->ActualBitmap().SameImage(down));
  form.DispatchMouseUp(TMouseButton::mbLeft, 20, 20);
  EXPECT_TRUE(btn->ActualBitmap().SameImage(over));
  form.DispatchMouseMove(250, 90);
  EXPECT_TRUE(btn->ActualBitmap().SameImage(normal));
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "down", "click", "up", "leave"}));
}

TEST_F(TextButtonFixture, RightButtonChangesNothing) {
  form.DispatchMouseMove(20, 20);
  events.clear();
  form.DispatchMouseDown(TMouseButton::mbRight, 20, 20);
  form.DispatchMouseUp(TMouseButton::mbRight, 20, 20);
  EXPECT_TRUE(btn->ActualBitmap().SameImage(over));
  EXPECT_TRUE(events.empty());
}

TEST_F(TextButtonFixture, DownStatusShowsPressedInEveryState) {
  btn->SetDownStatus(true);
  form.DispatchMouseMove(20, 20);
  EXPECT_TRUE(btn->ActualBitmap().SameImage(down));
  form.DispatchMouseMove(250, 90);
  EXPECT_TRUE(btn->ActualBitmap().SameImage(down));
  EXPECT_TRUE(Paint().pictures.back().picture.SameImage(down));
}

TEST_F(TextButtonFixture, DisabledWithoutDisabledPictureKeepsItsPictureAndGreysItsCaption) {
  btn->Font.color = clWhite;
  btn->DisableFontColor = clBlack;
  btn->SetEnabled(false);
  btn->Click();
  EXPECT_TRUE(events.empty());
  const RecordingCanvas canvas = Paint();
  ASSERT_EQ(canvas.pictures.size(), 1u);
  EXPECT_TRUE(canvas.pictures[0].picture.SameImage(normal));
  ASSERT_EQ(canvas.texts.size(), 1u);
  EXPECT_EQ(canvas.texts[0].font.color, clBlack);
}

TEST_F(TextButtonFixture, DisabledPictureIsDrawnAtItsOwnSize) {
  btn->SetBitmapDisabled(Solid(90, 20, 4));
  btn->SetEnabled(false);
  const RecordingCanvas canvas = Paint();
  EXPECT_EQ(canvas.pictures.at(0).dest, (TRect{0, 0, 90, 20}));
  EXPECT_EQ(btn->Width(), 90);
  EXPECT_EQ(btn->Height(), 20);
}

TEST_F(TextButtonFixture, CaptionIsCentredUnclippedOnTheStretchedPicture) {
  btn->SetCaption(L"重新安装软件的一个很长的标题更长");  // 16 characters: 112 pixels in the test canvas
  btn->Font.height = 13;
  btn->SetStretch(true);
  const RecordingCanvas canvas = Paint();
  ASSERT_EQ(canvas.texts.size(), 1u);
  const auto& t = canvas.texts[0];
  EXPECT_EQ(t.rect, (TRect{-6, 8, 106, 21}));
  EXPECT_FALSE(t.format.clip);
  EXPECT_TRUE(t.format.verticalCenter);
  EXPECT_EQ(canvas.pictures.at(0).dest, (TRect{0, 0, 100, 30}));
}

TEST_F(TextButtonFixture, SmallIconSitsLeftOfTheCaption) {
  btn->SetSmallIcon(Solid(16, 16, 9));
  const RecordingCanvas canvas = Paint();
  ASSERT_EQ(canvas.pictures.size(), 2u);
  EXPECT_EQ(canvas.pictures[1].dest, (TRect{10, 8, 26, 24}));
  EXPECT_EQ(canvas.texts.at(0).rect.left, 46) << "a centred caption right of the icon stays centred";
  btn->SetCaption(L"一键安装一键安装");
  EXPECT_EQ(Paint().texts.at(0).rect.left, 32);
}

TEST_F(TextButtonFixture, BackgroundIsFilledOnlyUntilTheFirstCaption) {
  EXPECT_EQ(Paint().fills.size(), 2u) << "form background and the button face";
  EXPECT_EQ(Paint().fills.size(), 1u) << "afterwards only the form background";
}

TEST_F(TextButtonFixture, SettingBitmapTakesItsSize) {
  btn->SetBitmap(Solid(200, 48));
  EXPECT_EQ(btn->Width(), 200);
  EXPECT_EQ(btn->Height(), 48);
  EXPECT_TRUE(btn->ActualBitmap().SameImage(btn->Bitmap()));
}

TEST_F(TextButtonFixture, SlicedStripGivesTheFourStates) {
  btn->SetPicMultiStatus(Strip(400, 30));
  EXPECT_EQ(btn->Bitmap().Pixel(0, 0)[0], 0);
  EXPECT_EQ(btn->BitmapOver().Pixel(0, 0)[0], 100);
  EXPECT_EQ(btn->BitmapDown().Pixel(0, 0)[0], 200);
  EXPECT_EQ(btn->BitmapDisabled().Width(), 100);
  EXPECT_TRUE(btn->ActualBitmap().SameImage(btn->Bitmap()));
}

}  // namespace
