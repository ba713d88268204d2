// The skinned dialog, the tip window and the skinned view on real windows
// under Xvfb: background, hover and tip, click dispatch, Escape, clean-up and
// the "bk.bmp" background beside the program.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/frame.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "skin/Lumora.h"
#include "tests/skin/wx_test_env.h"
#include "tools/skinsample/sample_dialog.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new WxEnvironment);
constexpr unsigned kNoClick = 4294967291u;
const wxColour kFlatGrey(245, 245, 245);

// The slots and the recorded clicks of a skinned window, for the tests.
template <typename Base>
class Recording : public Base {
 public:
  using Base::Base;
  void DoMsgId(unsigned id) override {
    clicks.push_back(id);
    if (whileClicked) whileClicked();
  }
  CButtonRect*& Slot(int i) { return this->m_pButtonRect[i]; }
  CButtonRect* Current() const { return this->m_pCurButton; }
  CMytipDlg* Tip() const { return this->m_pTipDlg; }
  void SetTitleFrame(int on) { this->m_bTitleFrame = on; }
  void Route() { this->RouteSkinEvents(); }
  std::vector<unsigned> clicks;
  std::function<void()> whileClicked;  // runs inside DoMsgId
};

class TestDialog : public Recording<CNewDialog> {
 public:
  using Recording::Recording;
  bool Make() {
    if (!wxDialog::Create(nullptr, wxID_ANY, "test", wxPoint(100, 100), wxSize(400, 300), wxBORDER_NONE))
      return false;
    Route();
    return true;
  }
  int cancels = 0;
  void OnCancel() override {
    ++cancels;
    CNewDialog::OnCancel();
  }
};

class TestView : public Recording<CNewView> {
 public:
  void OnDraw(wxDC*) override {}
  void InitUI() override {
    ++initCalls;
    Slot(0) = new CButtonRect(20, 20, 120, 60, this, 5, 0);
    Slot(0)->DrawBkTips(SolidImage(100, 40, 90, 90, 90), "view tip", 1, 0);
  }
  int initCalls = 0;
};

wxImage Paint(CNewDialog& dialog) {
  return RenderToImage(dialog.GetSize(), [&](wxDC& dc) { dialog.PaintSkin(dc); });
}

// A clickable button with a solid image and a tip text.
CButtonRect* MakeButton(wxWindow* parent, SkinRect r, unsigned id, const char* tip = "") {
  auto* button = new CButtonRect(r.left, r.top, r.right, r.bottom, parent, id, 0);
  button->DrawBkTips(SolidImage(r.Width(), r.Height(), 100, 100, 100), tip, 1, 0);
  return button;
}

class SkinDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = new TestDialog(1234u, nullptr);
    ASSERT_TRUE(dialog->Make());
    dialog->Show();
    ASSERT_TRUE(PumpUntil([&] { return dialog->IsShownOnScreen(); }));
    Pump(std::chrono::milliseconds(50));
  }
  void TearDown() override {
    dialog->Destroy();
    Pump(std::chrono::milliseconds(20));
  }
  // Moves the real pointer to a client point of the dialog and waits until
  // the dialog has seen it.
  void PointAt(wxPoint client) {
    const wxPoint screen = dialog->ClientToScreen(client);
    wxUIActionSimulator().MouseMove(screen);
    PumpUntil([&] { return wxGetMousePosition() == screen; });
    Pump(std::chrono::milliseconds(50));
  }

  TestDialog* dialog = nullptr;
};

TEST(Background, StripesFlatGreyAndFrame) {
  TestDialog striped;  // without a template: bitmap 15001
  ASSERT_TRUE(striped.Make());
  wxImage shown = Paint(striped);
  EXPECT_EQ(PixelAt(shown, 0, 0), wxColour(161, 161, 161));
  EXPECT_EQ(PixelAt(shown, 7, 1), wxColour(168, 168, 168));
  EXPECT_EQ(PixelAt(shown, 7, 2), wxColour(175, 175, 175));
  EXPECT_EQ(PixelAt(shown, 399, 3), wxColour(161, 161, 161));

  striped.SetTitleFrame(1);
  shown = Paint(striped);
  EXPECT_EQ(PixelAt(shown, 200, 25), *wxBLACK);   // the 26-pixel band
  EXPECT_EQ(PixelAt(shown, 1, 100), *wxBLACK);    // the 2-pixel sides
  EXPECT_EQ(PixelAt(shown, 200, 298), *wxBLACK);
  EXPECT_EQ(PixelAt(shown, 2, 26), wxColour(175, 175, 175));  // tiled from the client origin: row 26 % 3
  EXPECT_EQ(PixelAt(shown, 397, 27), wxColour(161, 161, 161));

  TestDialog flat(102u, nullptr);  // with a template: bitmap 15002
  ASSERT_TRUE(flat.Make());
  EXPECT_EQ(PixelAt(Paint(flat), 150, 150), kFlatGrey);
}

TEST_F(SkinDialog, HoverHighlightsAndShowsTheTipBesideThePointer) {
  CButtonRect* button = dialog->Slot(0) = MakeButton(dialog, {50, 50, 150, 90}, 7, "0123456789");
  dialog->Slot(1) = MakeButton(dialog, {200, 50, 300, 90}, 8);  // no tip text

  PointAt({100, 70});
  ASSERT_TRUE(PumpUntil([&] { return button->IsFoucus() != 0; })) << "mouse moves reach OnMouseMove";
  EXPECT_EQ(dialog->Current(), button);
  EXPECT_EQ(PixelAt(Paint(*dialog), 100, 70), wxColour(150, 150, 150));

  CMytipDlg* tip = dialog->Tip();
  ASSERT_NE(tip, nullptr);
  EXPECT_TRUE(tip->IsShown());
  const wxPoint cursor = wxGetMousePosition();
  EXPECT_EQ(tip->GetScreenRect(), wxRect(cursor.x - 32, cursor.y - 32, 90, 20));
  EXPECT_NE(dialog->FindFocus(), tip) << "the tip does not take the focus";
  const wxImage tipShown = RenderToImage(tip->GetSize(), [&](wxDC& dc) { tip->PaintSkin(dc); });
  EXPECT_EQ(PixelAt(tipShown, 86, 18), kFlatGrey);
  int dark = 0;
  for (int x = 0; x < 80; ++x)
    for (int y = 0; y < 16; ++y) dark += PixelAt(tipShown, x, y).Red() < 120;
  EXPECT_GT(dark, 10) << "the tip text is drawn";

  // Onto a button without tip text: the first tip stays.
  PointAt({250, 70});
  EXPECT_TRUE(tip->IsShown());
  EXPECT_FALSE(button->IsFoucus());

  // Over no button: the tip hides.
  PointAt({350, 250});
  EXPECT_FALSE(tip->IsShown());
  EXPECT_EQ(dialog->Current(), nullptr);
}

TEST_F(SkinDialog, RealClickOnOverlappingButtonsGoesToTheHigherSlot) {
  CButtonRect* low = dialog->Slot(2) = MakeButton(dialog, {0, 0, 100, 100}, 1);
  CButtonRect* high = dialog->Slot(5) = MakeButton(dialog, {50, 50, 150, 150}, 2);
  PointAt({75, 75});
  EXPECT_TRUE(low->IsFoucus());
  EXPECT_TRUE(high->IsFoucus());
  wxUIActionSimulator().MouseClick();
  ASSERT_TRUE(PumpUntil([&] { return !dialog->clicks.empty(); }));
  EXPECT_EQ(dialog->clicks, std::vector<unsigned>{2});
}

TEST_F(SkinDialog, ClickDispatchFollowsTheButtonState) {
  CButtonRect* passive = dialog->Slot(0) = MakeButton(dialog, {0, 0, 50, 50}, 1, "passive tip");
  passive->SetChangeBk(0);
  dialog->OnMouseMove(0, {10, 10});
  dialog->OnLButtonDown(0, {10, 10});
  EXPECT_TRUE(dialog->clicks.empty()) << "a button that does not highlight never dispatches";
  ASSERT_NE(dialog->Tip(), nullptr);
  EXPECT_TRUE(dialog->Tip()->IsShown()) << "its tip still shows";

  CButtonRect* disabled = dialog->Slot(1) = MakeButton(dialog, {100, 0, 150, 50}, 2);
  dialog->OnMouseMove(0, {110, 10});
  disabled->EnableButton(false);
  dialog->OnLButtonDown(0, {110, 10});
  CButtonRect* hidden = dialog->Slot(2) = MakeButton(dialog, {200, 0, 250, 50}, 3);
  dialog->OnMouseMove(0, {210, 10});
  hidden->ShowEnable(false);
  dialog->OnLButtonDown(0, {210, 10});
  EXPECT_EQ(dialog->clicks, (std::vector<unsigned>{kNoClick, kNoClick}));

  dialog->clicks.clear();
  dialog->OnMouseMove(0, {300, 200});  // over nothing
  dialog->OnLButtonDown(0, {300, 200});
  EXPECT_TRUE(dialog->clicks.empty());
}

TEST_F(SkinDialog, ClickAfterTheItemWasReplacedIsTestedAgainstTheNewItem) {
  dialog->Slot(3) = MakeButton(dialog, {10, 10, 60, 60}, 10);
  dialog->OnMouseMove(0, {20, 20});
  // The derived class replaces the item under the pointer; no mouse move follows.
  delete dialog->Slot(3);
  dialog->Slot(3) = MakeButton(dialog, {10, 10, 60, 60}, 11);
  dialog->OnLButtonDown(0, {20, 20});
  EXPECT_EQ(dialog->clicks, std::vector<unsigned>{11});

  // Replaced by an item elsewhere: nothing under the pointer, nothing dispatched.
  dialog->clicks.clear();
  dialog->OnMouseMove(0, {20, 20});
  delete dialog->Slot(3);
  dialog->Slot(3) = MakeButton(dialog, {200, 200, 250, 250}, 12);
  dialog->OnLButtonDown(0, {20, 20});
  EXPECT_TRUE(dialog->clicks.empty());
}

TEST_F(SkinDialog, EscapeDoesNotCloseTheDialog) {
  // The same key closes an ordinary dialog with a cancel button, so the event
  // below is the real thing.
  wxDialog plain(nullptr, wxID_ANY, "plain");
  new wxButton(&plain, wxID_CANCEL, "Cancel");
  new wxButton(dialog, wxID_CANCEL, "Cancel");
  plain.Show();
  ASSERT_TRUE(PumpUntil([&] { return plain.IsShownOnScreen(); }));
  Pump(std::chrono::milliseconds(20));
  wxKeyEvent escape(wxEVT_CHAR_HOOK);
  escape.m_keyCode = WXK_ESCAPE;
  plain.ProcessWindowEvent(escape);
  Pump(std::chrono::milliseconds(20));
  ASSERT_FALSE(plain.IsShown());

  dialog->ProcessWindowEvent(escape);
  Pump(std::chrono::milliseconds(20));
  EXPECT_TRUE(dialog->IsShown());
  EXPECT_EQ(dialog->cancels, 0);

  wxKeyEvent other(wxEVT_CHAR_HOOK);
  other.m_keyCode = 'A';
  EXPECT_FALSE(dialog->PreTranslateMessage(other));
}

TEST(SkinDialogModal, CleanUpEmptiesTheSlotsAndEndsTheModalLoop) {
  TestDialog dialog(1234u, nullptr);
  ASSERT_TRUE(dialog.Make());
  for (int i = 0; i < 45; i += 4) dialog.Slot(i) = MakeButton(&dialog, {i, 0, i + 4, 4}, 100 + i, "tip");
  dialog.CallAfter([&] {
    wxKeyEvent escape(wxEVT_CHAR_HOOK);
    escape.m_keyCode = WXK_ESCAPE;
    dialog.ProcessWindowEvent(escape);  // ignored
    dialog.OnMouseMove(0, {1, 1});      // makes the tip window
    dialog.CallAfter([&] { dialog.OnOK(); });
  });
  EXPECT_EQ(dialog.ShowModal(), wxID_OK);
  for (int i = 0; i < 45; ++i) EXPECT_EQ(dialog.Slot(i), nullptr) << i;
  EXPECT_EQ(dialog.Current(), nullptr);
  EXPECT_EQ(dialog.Tip(), nullptr);
  EXPECT_EQ(dialog.cancels, 0);

  dialog.Slot(0) = MakeButton(&dialog, {0, 0, 4, 4}, 1);
  dialog.CallAfter([&] { dialog.Close(); });  // the window's close box cancels
  EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL);
  EXPECT_EQ(dialog.cancels, 1);
  EXPECT_EQ(dialog.Slot(0), nullptr);
}

TEST_F(SkinDialog, TitleFrameClickDragsTheWindow) {
  dialog->SetTitleFrame(1);
  const wxPoint start = dialog->GetPosition();
  PointAt({200, 10});
  wxUIActionSimulator sim;
  sim.MouseDown();
  ASSERT_TRUE(PumpUntil([&] { return dialog->HasCapture(); }));
  sim.MouseMove(dialog->ClientToScreen(wxPoint(200, 10)) + wxPoint(30, 20));
  sim.MouseUp();
  ASSERT_TRUE(PumpUntil([&] { return !dialog->HasCapture(); }));
  EXPECT_EQ(dialog->GetPosition(), start + wxPoint(30, 20));
}

TEST_F(SkinDialog, NoDragWhenTheButtonCameUpDuringTheClick) {
  dialog->SetTitleFrame(1);
  dialog->Slot(0) = MakeButton(dialog, {150, 0, 250, 20}, 9);
  const wxPoint start = dialog->GetPosition();
  PointAt({200, 10});
  wxUIActionSimulator sim;
  // DoMsgId runs a message box; the button comes up while it is open and the
  // box's modal loop takes the release.
  dialog->whileClicked = [&] {
    wxDialog box(dialog, wxID_ANY, "message", wxPoint(700, 600), wxSize(120, 60));
    wxTimer closer;
    closer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { box.EndModal(wxID_OK); });
    box.CallAfter([&] {
      sim.MouseUp();
      closer.StartOnce(200);
    });
    box.ShowModal();
  };
  sim.MouseDown();
  ASSERT_TRUE(PumpUntil([&] { return !dialog->clicks.empty(); }));
  ASSERT_FALSE(wxGetMouseState().LeftIsDown());
  EXPECT_FALSE(dialog->HasCapture());

  sim.MouseMove(dialog->ClientToScreen(wxPoint(200, 10)) + wxPoint(30, 20));
  Pump(std::chrono::milliseconds(150));
  EXPECT_EQ(dialog->GetPosition(), start) << "the window must not follow a pointer with no button down";
}

TEST_F(SkinDialog, ClosingTheModelessDialogCleansUpAndTheTipStaysBelowOtherPrograms) {
  dialog->Slot(0) = MakeButton(dialog, {50, 50, 150, 90}, 7, "tip");
  dialog->Refresh();
  EXPECT_EQ(PixelAt(ShownPixels(*dialog), 100, 70), wxColour(100, 100, 100));
  dialog->OnMouseMove(0, {100, 70});
  ASSERT_NE(dialog->Tip(), nullptr);
  EXPECT_FALSE(dialog->Tip()->HasFlag(wxSTAY_ON_TOP));

  EXPECT_TRUE(dialog->Close());  // the window's close box
  EXPECT_EQ(dialog->cancels, 1);
  EXPECT_FALSE(dialog->IsShown());
  EXPECT_EQ(dialog->Slot(0), nullptr);
  EXPECT_EQ(dialog->Tip(), nullptr);

  // Shown again, it paints without the buttons it had.
  dialog->Show();
  ASSERT_TRUE(PumpUntil([&] { return dialog->IsShownOnScreen(); }));
  EXPECT_EQ(PixelAt(ShownPixels(*dialog), 100, 70), kFlatGrey);
}

TEST(SkinView, InitUIHoverAndTheTipTimer) {
  wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "view", wxPoint(100, 100), wxSize(400, 300),
                               wxBORDER_NONE);
  auto* view = new TestView;
  ASSERT_TRUE(view->Create(frame, wxID_ANY, wxPoint(0, 0), wxSize(400, 300)));
  view->Route();
  EXPECT_EQ(view->initCalls, 1);
  frame->Show();
  ASSERT_TRUE(PumpUntil([&] { return view->IsShownOnScreen(); }));
  EXPECT_EQ(PixelAt(RenderToImage(view->GetSize(), [&](wxDC& dc) { view->PaintSkin(dc); }), 300, 200),
            kFlatGrey);

  const wxPoint over = view->ClientToScreen(wxPoint(60, 40));
  wxUIActionSimulator().MouseMove(over);
  ASSERT_TRUE(PumpUntil([&] { return view->Tip() && view->Tip()->IsShown(); }));
  CMytipDlg* tip = view->Tip();
  EXPECT_TRUE(tip->IsTimerRunning());
  EXPECT_EQ(tip->GetSize(), wxSize(9 * 8, 20));

  // Within 20 pixels of the tip: it stays; farther: it hides and the timer
  // stops. (Both points lie above the view, away from its buttons.)
  wxTimer timer;
  wxTimerEvent tick(timer);
  const wxPoint near = tip->GetScreenRect().Inflate(19).GetTopLeft();
  wxUIActionSimulator().MouseMove(near);
  PumpUntil([&] { return wxGetMousePosition() == near; });
  tip->OnTimer(tick);
  EXPECT_TRUE(tip->IsShown());
  const wxPoint far = near - wxPoint(2, 2);
  wxUIActionSimulator().MouseMove(far);
  PumpUntil([&] { return wxGetMousePosition() == far; });
  tip->OnTimer(tick);
  EXPECT_FALSE(tip->IsShown());
  EXPECT_FALSE(tip->IsTimerRunning());

  view->OnMouseMove(0, {60, 40});
  view->OnLButtonDown(0, {60, 40});
  EXPECT_EQ(view->clicks, std::vector<unsigned>{5});
  view->OnOK();  // clean-up only
  EXPECT_EQ(view->Slot(0), nullptr);
  EXPECT_EQ(view->Tip(), nullptr);
  EXPECT_TRUE(frame->IsShown());
  frame->Destroy();
  Pump(std::chrono::milliseconds(20));
}

TEST(SkinSample, ItemsInEveryStateAndClose) {
  SkinSampleDlg sample;
  ASSERT_TRUE(sample.Create(nullptr));
  const wxImage shown = RenderToImage(sample.GetSize(), [&](wxDC& dc) { sample.PaintSkin(dc); });
  auto centre = [&](int slot) {
    const SkinRect& r = sample.Item(slot)->GetRect();
    return PixelAt(shown, (r.left + r.right) / 2, r.top + 3);
  };
  const wxColour normal = centre(SkinSampleDlg::kSearch);
  EXPECT_GT(centre(SkinSampleDlg::kHighlighted).Blue(), normal.Blue());
  EXPECT_NE(centre(SkinSampleDlg::kDisabled), normal);
  EXPECT_EQ(sample.Item(SkinSampleDlg::kDisabled)->GetClickId(), kNoClick);
  EXPECT_FALSE(sample.Item(SkinSampleDlg::kHidden)->IsShown());

  sample.CallAfter([&] {
    const SkinRect& r = sample.Item(SkinSampleDlg::kClose)->GetRect();
    const wxPoint p((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    sample.OnMouseMove(0, p);
    sample.OnLButtonDown(0, p);
  });
  EXPECT_EQ(sample.ShowModal(), wxID_OK);
  EXPECT_EQ(sample.Clicks().back(), static_cast<unsigned>(SkinSampleDlg::kIdClose));
  EXPECT_EQ(sample.Item(SkinSampleDlg::kSearch), nullptr);
}

// "bk.bmp" beside the program wins over the bitmap resources. The test runs a
// copy of this program from a directory of its own that holds a bk.bmp.
const wxColour kBkColour(10, 200, 30);

TEST(BkFile, ChildPaintsTheFileEverywhere) {
  if (!getenv("SKIN_BK_CHILD")) GTEST_SKIP() << "run by BkFile.TakesPrecedence";
  TestDialog striped;
  ASSERT_TRUE(striped.Make());
  EXPECT_EQ(PixelAt(Paint(striped), 5, 5), kBkColour);
  TestDialog flat(102u, nullptr);
  ASSERT_TRUE(flat.Make());
  EXPECT_EQ(PixelAt(Paint(flat), 5, 5), kBkColour);
  CMytipDlg tip;
  ASSERT_TRUE(tip.Create());
  EXPECT_EQ(PixelAt(Paint(tip), 5, 5), kBkColour);
  TestView view;
  wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "view");
  ASSERT_TRUE(view.Create(frame));
  EXPECT_EQ(PixelAt(RenderToImage(wxSize(20, 20), [&](wxDC& dc) { view.PaintSkin(dc); }), 5, 5), kBkColour);
  frame->Destroy();
}

TEST(BkFile, TakesPrecedence) {
  if (getenv("SKIN_BK_CHILD")) GTEST_SKIP();
  char dir[] = "/tmp/skin_bk_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string copy = std::string(dir) + "/skin_dialog_test";
  {
    std::ifstream in("/proc/self/exe", std::ios::binary);
    std::ofstream out(copy, std::ios::binary);
    out << in.rdbuf();
  }
  ASSERT_EQ(chmod(copy.c_str(), 0700), 0);
  wxImage bk = SolidImage(3, 3, kBkColour.Red(), kBkColour.Green(), kBkColour.Blue());
  ASSERT_TRUE(bk.SaveFile(std::string(dir) + "/bk.bmp", wxBITMAP_TYPE_BMP));

  const std::string command = "SKIN_BK_CHILD=1 " + copy + " --gtest_filter=BkFile.Child* --gtest_brief=1";
  const int status = std::system(command.c_str());
  std::remove((std::string(dir) + "/bk.bmp").c_str());
  std::remove(copy.c_str());
  rmdir(dir);
  EXPECT_EQ(status, 0);
}

}  // namespace
