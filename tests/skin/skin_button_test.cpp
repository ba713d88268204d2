// The image button: its pixel rules as plain functions, then a button drawn
// on a real parent window (under Xvfb) and read back pixel by pixel.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <wx/dcclient.h>
#include <wx/frame.h>

#include "skin/Lumora.h"
#include "tests/skin/wx_test_env.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new WxEnvironment);
constexpr unsigned kNoClick = 4294967291u;

TEST(Brighten, FadesFromFiftyAtCentreToNothingAt300) {
  wxImage image = SolidImage(601, 1, 100, 100, 100);  // centre x = 300
  lumora::BrightenImage(image);
  EXPECT_EQ(image.GetRed(300, 0), 150);
  EXPECT_EQ(image.GetRed(150, 0), 125);    // half way: +25
  EXPECT_EQ(image.GetGreen(0, 0), 100);    // exactly 300 away: untouched
  EXPECT_EQ(image.GetBlue(600, 0), 100);   // 300 away on the other side

  wxImage bright = SolidImage(3, 3, 240, 0, 255);
  lumora::BrightenImage(bright);
  EXPECT_EQ(PixelAt(bright, 1, 1), wxColour(255, 50, 255));  // clamped at 255
}

TEST(Darken, FadesFrom110AtCentreToNothingAt500AndNeverBelow100) {
  wxImage image = SolidImage(1001, 1, 250, 250, 250);  // centre x = 500
  lumora::DarkenImage(image);
  EXPECT_EQ(image.GetRed(500, 0), 140);
  EXPECT_EQ(image.GetRed(250, 0), 195);    // half way: -55
  EXPECT_EQ(image.GetRed(0, 0), 250);      // exactly 500 away: untouched

  wxImage grey = SolidImage(1, 1, 150, 20, 255);
  lumora::DarkenImage(grey);
  EXPECT_EQ(PixelAt(grey, 0, 0), wxColour(100, 100, 145));  // 150-110 and 20-110 clamp to 100
}

TEST(ColourKey, MakesOnlyColoursFrom250To255Transparent) {
  wxImage image(4, 1);
  image.SetRGB(0, 0, 250, 250, 250);
  image.SetRGB(1, 0, 255, 255, 255);
  image.SetRGB(2, 0, 249, 255, 255);
  image.SetRGB(3, 0, 255, 255, 249);
  const wxImage keyed = lumora::ColourKeyed(image);
  ASSERT_TRUE(keyed.HasAlpha());
  EXPECT_EQ(keyed.GetAlpha(0, 0), 0);
  EXPECT_EQ(keyed.GetAlpha(1, 0), 0);
  EXPECT_EQ(keyed.GetAlpha(2, 0), 255);
  EXPECT_EQ(keyed.GetAlpha(3, 0), 255);
}

TEST(ImageTextSize, FollowsWidthCharacterWidthAndOverrides) {
  // 20 bytes on 100 pixels: 100/20 - 2 = 3, raised to the character width, then to 8.
  EXPECT_EQ(lumora::ChooseImageTextSize(20, 100, 7, true, 8), 8);
  EXPECT_EQ(lumora::ChooseImageTextSize(20, 100, 10, true, 8), 10);
  EXPECT_EQ(lumora::ChooseImageTextSize(20, 100, 0, true, 8), 8);
  // Short texts count as five bytes; the size stops at 12.
  EXPECT_EQ(lumora::ChooseImageTextSize(2, 100, 7, true, 8), 12);
  EXPECT_EQ(lumora::ChooseImageTextSize(5, 60, 7, true, 8), 10);
  // Without EnableFont the size is 8; SetFont overrides everything.
  EXPECT_EQ(lumora::ChooseImageTextSize(5, 60, 7, false, 8), 8);
  EXPECT_EQ(lumora::ChooseImageTextSize(5, 60, 7, false, 20), 20);
}

TEST(Texts, LengthsCountLikeTheCodePageAndCopiesCutAtCharacters) {
  EXPECT_EQ(lumora::CodePageLength("Search"), 6);
  EXPECT_EQ(lumora::CodePageLength("\xE6\x90\x9C\xE7\xB4\xA2 IP"), 7);  // two Chinese characters + " IP"
  EXPECT_EQ(lumora::TipWidth("0123456789"), 90);

  char buffer[8];
  lumora::CopyBounded(buffer, sizeof buffer, "0123456789");
  EXPECT_STREQ(buffer, "0123456");
  lumora::CopyBounded(buffer, sizeof buffer, "ab\xE6\x90\x9C\xE7\xB4\xA2");  // 8 bytes: cut before the 2nd character
  EXPECT_STREQ(buffer, "ab\xE6\x90\x9C");
  lumora::CopyBounded(buffer, sizeof buffer, nullptr);
  EXPECT_STREQ(buffer, "");

  // Cut as the code page counts, never inside a character, and never past the buffer.
  char wide[lumora::Utf8Capacity(4)];
  lumora::CopyCodePageBounded(wide, sizeof wide, "\xE6\x90\x9C\xE7\xB4\xA2\xE6\x90\x9C", 4);
  EXPECT_STREQ(wide, "\xE6\x90\x9C\xE7\xB4\xA2");
  lumora::CopyCodePageBounded(wide, sizeof wide, "a\xF0\x9F\x93\xB7\xF0\x9F\x93\xB7", 4);
  EXPECT_STREQ(wide, "a\xF0\x9F\x93\xB7");  // a 4-byte character counts two
  lumora::CopyCodePageBounded(wide, 3, "abcd", 4);  // a smaller buffer still bounds the copy
  EXPECT_STREQ(wide, "ab");

  CButtonRect button(0, 0, 10, 10, nullptr, 1, 0);
  const std::string longText(400, 'x');
  button.DrawNewText(longText.c_str(), 0);  // no parent: nothing kept, nothing overrun
  EXPECT_EQ(button.DrawNewText("x", 0), 0);
}

TEST(ButtonState, AlignmentClickIdAndHitTest) {
  CButtonRect button(10, 20, 110, 60, nullptr, 42, 0);
  for (const auto& [given, stored] : {std::pair{3, 1}, {-1, 1}, {0, 0}, {2, 2}, {1, 1}}) {
    button.SetAlignment(given);
    EXPECT_EQ(button.GetAlignment(), stored) << given;
  }

  EXPECT_EQ(button.GetClickId(), 42u);
  button.EnableButton(false);
  EXPECT_EQ(button.GetClickId(), kNoClick);
  button.EnableButton(true);
  button.ShowEnable(false);
  EXPECT_EQ(button.GetClickId(), kNoClick);
  button.ShowEnable(true);

  EXPECT_TRUE(button.PtInRect({10, 20}));
  EXPECT_TRUE(button.PtInRect({109, 59}));
  EXPECT_FALSE(button.PtInRect({110, 30}));
  EXPECT_FALSE(button.PtInRect({50, 60}));

  EXPECT_EQ(button.SetFocus(1), 1);
  EXPECT_EQ(button.IsFoucus(), 1);
  button.SetChangeBk(0);
  EXPECT_EQ(button.IsFoucus(), 0);  // a passive picture never counts as highlighted
  button.ShowEnable(false);
  EXPECT_EQ(button.SetFocus(1), 0);
}

TEST(ButtonState, HitTestHighlightsEveryHitAndReturnsTheLastSlot) {
  auto a = std::make_unique<CButtonRect>(0, 0, 50, 50, nullptr, 1, 0);
  auto b = std::make_unique<CButtonRect>(40, 40, 90, 90, nullptr, 2, 0);
  auto c = std::make_unique<CButtonRect>(200, 200, 210, 210, nullptr, 3, 0);
  CButtonRect* slots[5] = {a.get(), nullptr, b.get(), nullptr, c.get()};
  c->SetFocus(1);

  EXPECT_EQ(lumora::HitTestButtons(slots, 5, 45, 45), b.get());
  EXPECT_TRUE(a->IsFoucus());
  EXPECT_TRUE(b->IsFoucus());
  EXPECT_FALSE(c->IsFoucus());

  EXPECT_EQ(lumora::HitTestButtons(slots, 5, 10, 10), a.get());
  EXPECT_FALSE(b->IsFoucus());
  EXPECT_EQ(lumora::HitTestButtons(slots, 5, 300, 300), nullptr);
  EXPECT_FALSE(a->IsFoucus());
}

// A button on a real window, drawn into a bitmap as the parent's paint would.
class DrawnButton : public ::testing::Test {
 protected:
  void SetUp() override {
    frame = new wxFrame(nullptr, wxID_ANY, "parent", wxDefaultPosition, wxSize(300, 200));
  }
  void TearDown() override { frame->Destroy(); Pump(std::chrono::milliseconds(10)); }

  wxImage Render(CButtonRect& button, const wxColour& fill = wxColour(0, 0, 64)) {
    return RenderToImage(wxSize(300, 200), [&](wxDC& dc) { button.ReflushDC(&dc); }, fill);
  }

  wxFrame* frame = nullptr;
};

TEST_F(DrawnButton, ShowsNormalBrightenedDarkenedAndHiddenImages) {
  CButtonRect button(20, 20, 60, 60, frame, 7, 0);
  button.DrawBkTips(SolidImage(40, 40, 100, 100, 100), nullptr, 1, 0);
  EXPECT_EQ(PixelAt(Render(button), 40, 40), wxColour(100, 100, 100));
  EXPECT_EQ(PixelAt(Render(button), 19, 40), wxColour(0, 0, 64));

  button.SetFocus(1);
  EXPECT_EQ(PixelAt(Render(button), 40, 40), wxColour(150, 150, 150));
  button.SetFocus(0);
  button.SetFocus(1);  // brightened once per image, not once per highlight
  EXPECT_EQ(PixelAt(Render(button), 40, 40), wxColour(150, 150, 150));

  button.EnableButton(false);
  EXPECT_EQ(PixelAt(Render(button), 40, 40), wxColour(100, 100, 100));  // 100 - 110 clamps to 100
  button.EnableButton(true);
  button.SetFocus(0);

  button.DrawNewText("caption", 0);
  button.ShowEnable(false);
  const wxImage hidden = Render(button);
  EXPECT_EQ(PixelAt(hidden, 40, 50), wxColour(0, 0, 64));  // image not drawn
  bool captionDrawn = false;
  for (int x = 20; x < 60 && !captionDrawn; ++x)
    for (int y = 20; y < 36; ++y)
      if (PixelAt(hidden, x, y) != wxColour(0, 0, 64)) captionDrawn = true;
  EXPECT_TRUE(captionDrawn) << "texts of a hidden button are still drawn";

  // A new image resets the once-only effects.
  button.ShowEnable(true);
  button.DrawBkTips(SolidImage(40, 40, 10, 10, 10), nullptr, 1, 0);
  button.SetFocus(1);
  EXPECT_EQ(PixelAt(Render(button), 40, 40), wxColour(60, 60, 60));
}

TEST_F(DrawnButton, PassiveButtonIsNeverBrightened) {
  CButtonRect button(0, 0, 20, 20, frame, 7, 0);
  button.DrawBkTips(SolidImage(20, 20, 100, 100, 100), "tip", 1, 0);
  button.SetChangeBk(0);
  button.SetFocus(1);
  EXPECT_EQ(PixelAt(Render(button), 10, 10), wxColour(100, 100, 100));
  EXPECT_STREQ(button.GetWndText(), "tip");  // its tip still works
}

TEST_F(DrawnButton, ColourKeyAndScaling) {
  wxImage image = SolidImage(10, 10, 30, 60, 90);
  image.SetRGB(wxRect(0, 0, 5, 10), 252, 255, 250);  // left half in the key colours
  CButtonRect keyed(0, 0, 40, 20, frame, 1, 0);       // drawn 4 x 2 times larger
  keyed.DrawBkTips(image, nullptr, 1, 0);
  const wxImage shown = Render(keyed);
  EXPECT_EQ(PixelAt(shown, 5, 10), wxColour(0, 0, 64));    // transparent: the background shows
  EXPECT_EQ(PixelAt(shown, 35, 10), wxColour(30, 60, 90));  // scaled into the rectangle
  EXPECT_EQ(PixelAt(shown, 45, 10), wxColour(0, 0, 64));

  keyed.SetShowOut(0);
  EXPECT_EQ(PixelAt(Render(keyed), 5, 10), wxColour(252, 255, 250));

  CButtonRect plain(0, 0, 40, 20, frame, 1, 0);  // without effects there is no key
  plain.DrawBkTips(image, nullptr, 0, 0);
  EXPECT_EQ(PixelAt(Render(plain), 5, 10), wxColour(252, 255, 250));
}

// Counts the pixels inside `rect` that are near `colour` (text is antialiased).
int CountColour(const wxImage& image, const wxRect& rect, const wxColour& colour) {
  int n = 0;
  for (int x = rect.x; x <= rect.GetRight(); ++x)
    for (int y = rect.y; y <= rect.GetBottom(); ++y) {
      const wxColour c = PixelAt(image, x, y);
      if (std::abs(c.Red() - colour.Red()) + std::abs(c.Green() - colour.Green()) +
              std::abs(c.Blue() - colour.Blue()) < 120)
        ++n;
    }
  return n;
}

TEST_F(DrawnButton, ImageTextIsDrawnInTheTextColourOrServesAsTip) {
  CButtonRect drawn(10, 10, 210, 60, frame, 1, 0x0000FF);  // red, as a colour reference
  drawn.DrawBkTips(SolidImage(200, 50, 255, 255, 255), "Search", 0, 1);
  EXPECT_STREQ(drawn.GetWndText(), "");
  const wxImage shown = Render(drawn);
  EXPECT_GT(CountColour(shown, wxRect(10, 10, 200, 50), wxColour(255, 0, 0)), 10);
  EXPECT_EQ(CountColour(shown, wxRect(10, 10, 60, 50), wxColour(255, 0, 0)), 0);  // centred

  CButtonRect tip(10, 10, 210, 60, frame, 1, 0x0000FF);
  tip.DrawBkTips(SolidImage(200, 50, 255, 255, 255), "Search", 0, 0);
  EXPECT_STREQ(tip.GetWndText(), "Search");
  EXPECT_EQ(CountColour(Render(tip), wxRect(10, 10, 200, 50), wxColour(255, 0, 0)), 0);
}

TEST_F(DrawnButton, LabelAreaCountsAsTheButton) {
  CButtonRect button(10, 10, 40, 40, frame, 1, 0xFFFFFF);
  EXPECT_EQ(button.SetWindowTextO("Language", 0), 1);
  const int a = lumora::DefaultCharWidth(frame);
  ASSERT_GT(a, 0);
  const SkinRect& label = button.GetLabelRect();
  EXPECT_EQ(label.left, 40);
  EXPECT_EQ(label.right, 40 + 8 * a + 7);
  EXPECT_EQ(label.top, 10);
  EXPECT_EQ(label.bottom, 40);
  EXPECT_TRUE(button.PtInRect({label.right - 1, 39}));
  EXPECT_FALSE(button.PtInRect({label.right, 39}));

  const wxImage shown = Render(button);
  EXPECT_GT(CountColour(shown, wxRect(40, 10, label.right - 40, 30), *wxWHITE), 5);

  EXPECT_EQ(button.SetWindowTextO("", 0), 1);  // an empty label leaves no label area
  EXPECT_FALSE(button.PtInRect({45, 20}));
}

// `count` copies of one Chinese character (two code-page bytes, three in UTF-8).
std::string Chinese(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "\xE6\x90\x9C";
  return text;
}

TEST_F(DrawnButton, TextsKeep255BytesAsTheCodePageCountsThem) {
  // 127 Chinese characters and one letter are 255 bytes in the code page:
  // kept whole although they take 382 bytes here.
  const std::string fits = Chinese(127) + "x";
  CButtonRect button(10, 10, 40, 40, frame, 1, 0);
  button.DrawBkTips(SolidImage(30, 30, 1, 2, 3), fits.c_str(), 0, 0);
  EXPECT_EQ(button.GetWndText(), fits);
  const int a = lumora::DefaultCharWidth(frame);
  ASSERT_GT(a, 0);
  EXPECT_EQ(button.SetWindowTextO(fits.c_str(), 0), 1);
  EXPECT_EQ(button.GetLabelRect().Width(), 255 * a + 7);

  // One more character is cut whole, not split.
  const std::string tooLong = Chinese(128);
  button.DrawBkTips(SolidImage(30, 30, 1, 2, 3), tooLong.c_str(), 0, 0);
  EXPECT_EQ(button.GetWndText(), Chinese(127));
  EXPECT_EQ(button.SetWindowTextO(tooLong.c_str(), 0), 1);
  EXPECT_EQ(button.GetLabelRect().Width(), 254 * a + 7);
  EXPECT_EQ(lumora::TipWidth(button.GetWndText()), 9 * 254);
}

TEST_F(DrawnButton, ResourceBitmapOfTheLibrary) {
  CButtonRect button(0, 0, 2, 3, frame, 1, 0);
  button.DrawBkTips(15001u, nullptr, 0, 0);
  const wxImage shown = Render(button);
  EXPECT_EQ(PixelAt(shown, 1, 0), wxColour(161, 161, 161));
  EXPECT_EQ(PixelAt(shown, 1, 1), wxColour(168, 168, 168));
  EXPECT_EQ(PixelAt(shown, 1, 2), wxColour(175, 175, 175));

  CButtonRect missing(0, 0, 20, 20, frame, 1, 0);
  missing.DrawBkTips(4321u, "text", 1, 0);  // unknown id: nothing drawn, nothing fails
  EXPECT_EQ(PixelAt(Render(missing), 10, 10), wxColour(0, 0, 64));
  EXPECT_STREQ(missing.GetWndText(), "text");
}

// A parent that paints as the skinned windows do: its background, then its
// buttons. GTK here repaints the whole window on every paint; this parent
// draws only what was invalidated since its last paint, as a partial repaint
// does, so that an area a button forgets to invalidate keeps its old pixels.
class PaintedParent : public wxFrame {
 public:
  static inline const wxColour kBack{0, 0, 64};

  PaintedParent()
      : wxFrame(nullptr, wxID_ANY, "parent", wxPoint(40, 40), wxSize(300, 200), wxBORDER_NONE) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
      wxPaintDC dc(this);
      if (!m_dirty.IsEmpty()) dc.SetDeviceClippingRegion(m_dirty);  // else an expose: all of it
      m_dirty.Clear();
      dc.SetBrush(wxBrush(kBack));
      dc.SetPen(*wxTRANSPARENT_PEN);
      dc.DrawRectangle(wxPoint(0, 0), GetClientSize());
      for (CButtonRect* button : buttons) button->ReflushDC(&dc);
    });
  }
  void Refresh(bool erase = true, const wxRect* rect = nullptr) override {
    m_dirty.Union(rect ? *rect : wxRect(GetClientSize()));
    wxFrame::Refresh(erase, rect);
  }
  std::vector<CButtonRect*> buttons;

 private:
  wxRegion m_dirty;
};

class ShownButton : public ::testing::Test {
 protected:
  void SetUp() override {
    parent = new PaintedParent;
    parent->Show();
    ASSERT_TRUE(PumpUntil([&] { return parent->IsShownOnScreen(); }));
  }
  void TearDown() override {
    parent->Destroy();
    Pump(std::chrono::milliseconds(10));
  }
  // Red text pixels on screen in the band just below the button.
  int RedBelow() {
    return CountColour(ShownPixels(*parent), wxRect(20, 60, 200, 12), wxColour(255, 0, 0));
  }

  PaintedParent* parent = nullptr;
};

TEST_F(ShownButton, TextBelowTheButtonIsErasedWhenHiddenRetextedOrDeleted) {
  // Aligned to the far edge, the image text's layout (which starts a quarter
  // of the spare height down) puts it partly below the button.
  const wxImage grey = SolidImage(200, 40, 128, 128, 128);
  auto* button = new CButtonRect(20, 20, 220, 60, parent, 1, 0x0000FF);
  button->SetAlignment(2);
  button->DrawBkTips(grey, "Search the network", 0, 1);
  parent->buttons.push_back(button);
  parent->Refresh();
  ASSERT_GT(RedBelow(), 0) << "the text should reach below the button";

  button->ShowEnable(false);
  EXPECT_EQ(RedBelow(), 0) << "hidden";
  button->ShowEnable(true);
  EXPECT_GT(RedBelow(), 0);

  button->DrawBkTips(grey, "Search the network", 0, 0);  // the text becomes the tip
  EXPECT_EQ(RedBelow(), 0) << "re-texted";
  button->DrawBkTips(grey, "Search", 0, 1);
  EXPECT_GT(RedBelow(), 0);

  parent->buttons.clear();
  delete button;
  const wxImage shown = ShownPixels(*parent);
  EXPECT_EQ(CountColour(shown, wxRect(20, 60, 200, 12), wxColour(255, 0, 0)), 0) << "deleted";
  EXPECT_EQ(PixelAt(shown, 120, 40), PaintedParent::kBack);
}

TEST_F(ShownButton, DeletedAfterItsParentDoesNotTouchIt) {
  auto button = std::make_unique<CButtonRect>(20, 20, 60, 60, parent, 1, 0);
  button->DrawBkTips(SolidImage(40, 40, 9, 9, 9), "tip", 1, 1);
  parent->Destroy();
  parent = new PaintedParent;
  Pump(std::chrono::milliseconds(20));  // the old parent is gone now
  EXPECT_EQ(button->SetFocus(1), 1);    // draws nothing, invalidates nothing
  EXPECT_EQ(button->DrawNewText("caption", 0), 0);
  button.reset();
}

}  // namespace
