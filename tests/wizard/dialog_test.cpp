// The wizard's main window: its pages and their items, the page flow, the
// language change, timer 1 and the keys that must not end it.
#include <wx/choice.h>
#include <wx/uiaction.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "wizard/documents.h"
#include "wizard_fixture.h"

using namespace wizard_test;

namespace {

constexpr int kClientWidth = 928;
constexpr int kClientHeight = 642;

class WizardPages : public WizardTest {
 protected:
  // Serial numbers of the items in the slots, by slot.
  std::map<int, std::uint64_t> Serials(int from, int to) const {
    std::map<int, std::uint64_t> serials;
    for (int slot = from; slot <= to; ++slot)
      if (const CButtonRect* item = m_wizard->GetSlot(slot)) serials[slot] = item->GetSerial();
    return serials;
  }
  std::vector<int> FilledSlots(int from, int to) const {
    std::vector<int> slots;
    for (int slot = from; slot <= to; ++slot)
      if (m_wizard->GetSlot(slot)) slots.push_back(slot);
    return slots;
  }
  void ExpectItemsInsideClient(const char* where) const {
    const wxSize client = m_wizard->GetClientSize();
    for (int slot = 0; slot < CNewDialog::kButtonSlots; ++slot) {
      const CButtonRect* item = m_wizard->GetSlot(slot);
      if (!item) continue;
      const SkinRect& r = item->GetRect();
      EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.x && r.bottom <= client.y)
          << where << ": slot " << slot << " (" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom
          << ")";
    }
  }
  bool Shown(int slot) const { return m_wizard->GetSlot(slot) && m_wizard->GetSlot(slot)->IsShown(); }
};

TEST_F(WizardPages, TheWindowHasTheDesignedClientAreaAndEveryItemLiesInsideIt) {
  OpenWizard();
  EXPECT_EQ(m_wizard->GetClientSize(), wxSize(kClientWidth, kClientHeight));
  for (int lang : {0, 1, 2}) {
    ASSERT_TRUE(m_wizard->SelectLanguage(lang));
    const std::string where = "language " + std::to_string(lang) + " page ";
    ExpectItemsInsideClient((where + "0").c_str());
    m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
    for (int page = 1; page <= 4; ++page) {
      ASSERT_EQ(m_wizard->GetPage(), page);
      ExpectItemsInsideClient((where + std::to_string(page)).c_str());
      m_wizard->OnNext();
    }
    ASSERT_EQ(m_wizard->GetPage(), 5);
    ExpectItemsInsideClient((where + "5").c_str());
    CloseWizard();
    OpenWizard();
  }
}

TEST_F(WizardPages, EachPageHoldsItsSlots) {
  OpenWizard();
  EXPECT_EQ(FilledSlots(0, 24), std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11}));
  EXPECT_EQ(FilledSlots(25, 44), std::vector<int>({25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37}));
  EXPECT_TRUE(m_wizard->GetLanguageBox()->IsShown());
  EXPECT_FALSE(Shown(36));
  EXPECT_FALSE(Shown(37));

  m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
  EXPECT_EQ(m_wizard->GetPage(), 1);
  EXPECT_FALSE(m_wizard->GetLanguageBox()->IsShown());
  EXPECT_EQ(FilledSlots(0, 24),
            std::vector<int>({0, 1, 2, 3, 4, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
  EXPECT_TRUE(Shown(36));
  EXPECT_TRUE(Shown(37));

  m_wizard->OnNext();
  EXPECT_EQ(m_wizard->GetPage(), 2);
  EXPECT_EQ(FilledSlots(7, 24), std::vector<int>({7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21}));

  m_wizard->OnNext();
  EXPECT_EQ(m_wizard->GetPage(), 3);
  EXPECT_EQ(FilledSlots(7, 24), std::vector<int>({7, 8, 9, 10, 11}));  // Chinese: one notes line

  m_wizard->OnNext();
  EXPECT_EQ(m_wizard->GetPage(), 4);
  EXPECT_EQ(FilledSlots(0, 24), std::vector<int>({0, 1, 2, 3, 4, 7}));
  EXPECT_FALSE(Shown(36));
  EXPECT_FALSE(Shown(37));
  ASSERT_EQ(m_installs.size(), 1u);
  EXPECT_EQ(m_installs[0], m_kit);

  // Previous and Next are hidden: a click on them does nothing.
  m_wizard->DoMsgId(m_wizard->GetSlot(36)->GetClickId());
  EXPECT_EQ(m_wizard->GetPage(), 4);

  m_wizard->OnNext();
  EXPECT_EQ(m_wizard->GetPage(), 5);
  EXPECT_EQ(FilledSlots(0, 24), std::vector<int>({0, 1, 2, 3, 4}));
  m_wizard->OnNext();
  m_wizard->OnPrevious();
  EXPECT_EQ(m_wizard->GetPage(), 5);
}

TEST_F(WizardPages, TheEnglishNotesPageHasTwoLines) {
  OpenWizard();
  m_wizard->SelectLanguage(2);
  m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
  m_wizard->OnNext();
  m_wizard->OnNext();
  EXPECT_EQ(FilledSlots(7, 24), std::vector<int>({7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(m_wizard->GetSlot(12)->GetRect().top, 455);
}

TEST_F(WizardPages, BackAndForthBetweenPagesOneAndTwoKeepsTheLeftColumn) {
  OpenWizard();
  m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
  const auto column = Serials(0, 6);
  const auto content = Serials(7, 24);
  m_wizard->DoMsgId(CSetupWizardDlg::kIdNext);
  EXPECT_EQ(Serials(0, 6), column);
  m_wizard->DoMsgId(CSetupWizardDlg::kIdPrevious);
  EXPECT_EQ(m_wizard->GetPage(), 1);
  EXPECT_EQ(Serials(0, 6), column);
  for (const auto& [slot, serial] : Serials(7, 24)) EXPECT_NE(content.at(slot), serial) << slot;
}

TEST_F(WizardPages, BackFromPageOneRebuildsTheSixLineStartPage) {
  OpenWizard();
  m_wizard->SelectLanguage(2);
  EXPECT_EQ(m_wizard->GetSlot(10)->GetRect().top, 502);  // the seven-line layout
  m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
  m_wizard->DoMsgId(CSetupWizardDlg::kIdPrevious);
  EXPECT_EQ(m_wizard->GetPage(), 0);
  EXPECT_EQ(m_wizard->GetSlot(10), nullptr);
  EXPECT_EQ(m_wizard->GetSlot(9)->GetRect().top, 470);
  EXPECT_EQ(m_wizard->GetSlot(9)->GetRect().right, 820);
  EXPECT_TRUE(m_wizard->GetLanguageBox()->IsShown());
  EXPECT_FALSE(Shown(36));
  EXPECT_EQ(m_wizard->GetLang(), 2);  // the choice itself stays
}

TEST_F(WizardPages, ChangingBetweenEnglishAndAnotherLanguageLeavesNoSeventhLine) {
  OpenWizard();
  const wxRect seventh(262, 504, 530, 34);
  {
    ScreenShot before(m_wizard);
    ASSERT_TRUE(before.ok());
    EXPECT_EQ(before.DarkPixels(seventh), 0);
  }
  m_wizard->SelectLanguage(2);
  {
    ScreenShot english(m_wizard);
    EXPECT_GT(english.DarkPixels(seventh), 20);
    EXPECT_EQ(m_wizard->GetTitle(), "Oskaro Network Camera Setup Wizard");
  }
  m_wizard->SelectLanguage(0);
  {
    ScreenShot chinese(m_wizard);
    EXPECT_EQ(chinese.DarkPixels(seventh), 0);
    EXPECT_FALSE(Shown(10));
  }
  m_wizard->SelectLanguage(2);
  m_wizard->SelectLanguage(1);
  ScreenShot traditional(m_wizard);
  EXPECT_EQ(traditional.DarkPixels(seventh), 0);
  EXPECT_EQ(m_wizard->GetTitle().utf8_str(), std::string("Oskaro網路攝影機設定精靈"));
}

TEST_F(WizardPages, TheLanguageChangeRetextsTheFrame) {
  OpenWizard();
  const auto frame = Serials(25, 37);
  m_wizard->SelectLanguage(2);
  const auto changed = Serials(25, 37);
  // About, Exit, the document items, Previous and Next are new; banner, logo
  // and title are redrawn in place.
  for (int slot : {25, 26, 30, 35, 36, 37}) EXPECT_NE(frame.at(slot), changed.at(slot)) << slot;
  for (int slot : {27, 28, 29}) EXPECT_EQ(frame.at(slot), changed.at(slot)) << slot;
  EXPECT_FALSE(Shown(36));
  EXPECT_FALSE(Shown(37));
}

// Holds the installation back until released.
class HeldInstall {
 public:
  ~HeldInstall() { Release(); }
  void Start() {
    m_thread = std::thread([this] {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_wake.wait(lock, [this] { return m_released; });
      m_finished = true;
    });
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_released = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
  }
  bool Finished() const { return m_finished; }

 private:
  std::thread m_thread;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_released = false;
  std::atomic<bool> m_finished{false};
};

TEST_F(WizardPages, TimerOneShowsTheSearchPageThreeSecondsAfterTheInstallationPage) {
  OpenWizard();
  HeldInstall install;
  m_wizard->SetInstallStarter([&install](const std::string&) { install.Start(); });
  m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
  m_wizard->OnNext();
  m_wizard->OnNext();
  const auto before = std::chrono::steady_clock::now();
  m_wizard->OnNext();
  ASSERT_EQ(m_wizard->GetPage(), 4);
  ASSERT_TRUE(RunLoopUntil([&] { return m_wizard->GetPage() == 5; }, 10000));
  const auto waited = std::chrono::steady_clock::now() - before;
  EXPECT_GE(waited, std::chrono::milliseconds(CSetupWizardDlg::kInstallTimerMs));
  EXPECT_FALSE(install.Finished());
  // The timer fires once: the last page stays.
  EXPECT_FALSE(RunLoopUntil([&] { return m_wizard->GetPage() != 5; }, 200));
  install.Release();
}

TEST_F(WizardPages, TheSearchDialogFillsItsRectangleOnTheLastPage) {
  OpenWizard();
  m_wizard->SelectLanguage(2);
  m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
  for (int i = 0; i < 4; ++i) m_wizard->OnNext();
  ASSERT_EQ(m_wizard->GetPage(), 5);
  std::vector<wxWindow*> panels;
  for (wxWindow* child : m_wizard->GetChildren())
    if (child != m_wizard->GetLanguageBox() && !child->IsTopLevel()) panels.push_back(child);
  ASSERT_EQ(panels.size(), 1u);
  EXPECT_EQ(panels[0]->GetRect(), wxRect(193, 60, kClientWidth - 193, kClientHeight - 30 - 60));
  EXPECT_TRUE(panels[0]->IsShown());
  EXPECT_NE(wxWindow::FindWindowById(204, panels[0]), nullptr);  // its Search button
}

TEST_F(WizardPages, EscapeAndReturnDoNotEndTheWizard) {
  OpenWizard();
  std::vector<int> keys;
  m_wizard->Bind(wxEVT_CHAR_HOOK, [&keys](wxKeyEvent& event) {
    keys.push_back(event.GetKeyCode());
    event.Skip();
  });
  bool ended = false;
  int result = -1;
  m_wizard->CallAfter([&] {
    m_wizard->GetLanguageBox()->SetFocus();
    wxUIActionSimulator keyboard;
    for (int key : {int(WXK_ESCAPE), int(WXK_RETURN), int(WXK_NUMPAD_ENTER), int('A')}) keyboard.Char(key);
    // 'A' comes last: once it arrives, the others have been handled.
    RunLoopUntil([&] { return !keys.empty() && keys.back() == 'A'; }, 5000);
    ended = !m_wizard->IsModal();
    m_wizard->DoMsgId(wizard::kIdExit);
  });
  result = m_wizard->ShowModal();
  EXPECT_FALSE(ended);
  EXPECT_EQ(result, wxID_OK);  // ended by Exit
  ASSERT_FALSE(keys.empty());
  EXPECT_EQ(keys.back(), 'A');
  EXPECT_EQ(m_wizard->GetSlot(11), nullptr);  // Exit deleted every item
}

// On the installation page nothing has the keyboard focus; the keys reach the
// window itself, and Return must not end the wizard mid-install.
TEST_F(WizardPages, ReturnOnTheInstallationPageDoesNotEndTheWizard) {
  OpenWizard();
  m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
  for (int page = 1; page < 4; ++page) m_wizard->OnNext();
  ASSERT_EQ(m_wizard->GetPage(), 4);
  bool ended = true;
  m_wizard->CallAfter([&] {
    for (int key : {int(WXK_RETURN), int(WXK_NUMPAD_ENTER), int(WXK_ESCAPE)}) {
      wxKeyEvent press(wxEVT_CHAR_HOOK);
      press.m_keyCode = key;
      press.SetEventObject(m_wizard);
      m_wizard->GetEventHandler()->ProcessEvent(press);
    }
    wxTheApp->ProcessPendingEvents();
    ended = !m_wizard->IsModal() || m_wizard->GetSlot(7) == nullptr;
    m_wizard->DoMsgId(wizard::kIdExit);
  });
  EXPECT_EQ(m_wizard->ShowModal(), wxID_OK);
  EXPECT_FALSE(ended);
}

}  // namespace
