// wizardshots: pictures of the setup wizard for the documentation.
//
//   wizardshots --out DIR --lang N [--pages 0-5] [--viewer] [--about] [--search]
//
// Walks the wizard through its pages in language N (0, 1, 2) and saves each
// as DIR/wizard-<lang>-page<k>.png; --viewer adds a document viewer with the
// quick installation guide, --about the about box, --search presses Search on
// the last page and waits for the list before the picture. The installation
// of page 4 is not run. Run it on a virtual display inside an isolated
// network namespace (scripts/wizard-screenshots.sh does).
#include <wx/app.h>
#include <wx/button.h>
#include <wx/cmdline.h>
#include <wx/evtloop.h>
#include <wx/listctrl.h>
#include <wx/timer.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "tools/wizardshots/screen_pixels.h"
#include "wizard/doc_viewer.h"
#include "wizard/documents.h"
#include "wizard/setup_wizard_dlg.h"

namespace {

const char* const kLangNames[] = {"cn", "tw", "en"};
constexpr int kSearchButton = 204;
constexpr int kDeviceList = 203;

// Runs the event loop until `done` or `timeout_ms`.
bool RunUntil(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  wxGUIEventLoop loop;
  bool met = false;
  wxTimer check;
  check.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    met = done && done();
    if (met || std::chrono::steady_clock::now() > deadline) {
      check.Stop();
      loop.Exit();
    }
  });
  check.Start(20);
  loop.Run();
  return met;
}

void Settle(int ms = 600) { RunUntil(nullptr, ms); }

// Saves the client area of `window` as it is on the screen, child windows included.
bool Shoot(wxWindow* window, const std::string& path, bool with_frame = false) {
  window->Update();
  Settle();
  wxRect area(window->ClientToScreen(wxPoint(0, 0)), window->GetClientSize());
  if (with_frame) area = window->GetScreenRect();
  const bool saved = ScreenPixels(area).SavePng(path);
  std::printf("%s %s\n", saved ? "saved" : "could not save", path.c_str());
  return saved;
}

class ShotsApp : public wxApp {
 public:
  void OnInitCmdLine(wxCmdLineParser& parser) override {
    wxApp::OnInitCmdLine(parser);
    parser.AddOption("o", "out", "folder for the pictures", wxCMD_LINE_VAL_STRING, wxCMD_LINE_OPTION_MANDATORY);
    parser.AddOption("l", "lang", "language entry 0, 1 or 2", wxCMD_LINE_VAL_NUMBER);
    parser.AddSwitch("", "viewer", "a document viewer");
    parser.AddSwitch("", "about", "the about box");
    parser.AddSwitch("", "search", "press Search on the last page");
  }
  bool OnCmdLineParsed(wxCmdLineParser& parser) override {
    wxString out;
    parser.Found("out", &out);
    m_out = std::string(out.utf8_str());
    long lang = 0;
    if (parser.Found("lang", &lang)) m_lang = static_cast<int>(lang);
    m_viewer = parser.Found("viewer");
    m_about = parser.Found("about");
    m_search = parser.Found("search");
    return m_lang >= 0 && m_lang <= 2 && wxApp::OnCmdLineParsed(parser);
  }

  int OnRun() override {
    CSetupWizardDlg dialog;
    dialog.SetInstallStarter([](const std::string&) {});
    if (!dialog.Create()) return 1;
    dialog.Move(20, 20);
    dialog.Show();
    if (m_lang != 0) dialog.SelectLanguage(m_lang);
    Settle(1000);
    const std::string prefix = m_out + "/wizard-" + kLangNames[m_lang];
    int failures = 0;
    auto shoot = [&](wxWindow* window, const std::string& name, bool frame = false) {
      failures += !Shoot(window, prefix + "-" + name + ".png", frame);
    };

    shoot(&dialog, "page0");
    if (m_about) {
      dialog.CallAfter([&] {
        wxWindow* about = wxGetActiveWindow();
        for (wxWindow* child : dialog.GetChildren())
          if (child->IsTopLevel() && child->IsShown()) about = child;
        RunUntil(nullptr, 800);
        if (about) {
          shoot(about, "about", true);
          if (auto* modal = dynamic_cast<wxDialog*>(about)) modal->EndModal(wxID_OK);
        }
      });
      dialog.HandleMenuId(wizard::kIdAbout);
    }
    if (m_viewer) {
      dialog.HandleMenuId(wizard::kIdQuickGuide);
      CDocViewerDlg* viewer = nullptr;
      for (wxWindow* child : dialog.GetChildren())
        if (auto* v = dynamic_cast<CDocViewerDlg*>(child)) viewer = v;
      if (viewer) {
        viewer->SetSize(60, 40, 900, 700);
        Settle(9000);
        shoot(viewer, "viewer", true);
        viewer->Destroy();
      }
    }
    dialog.DoMsgId(CSetupWizardDlg::kIdStart);
    shoot(&dialog, "page1");
    dialog.OnNext();
    shoot(&dialog, "page2");
    dialog.OnNext();
    shoot(&dialog, "page3");
    dialog.OnNext();
    shoot(&dialog, "page4");
    RunUntil([&] { return dialog.GetPage() == 5; }, 10000);
    if (m_search) {
      if (auto* search = dynamic_cast<wxButton*>(wxWindow::FindWindowById(kSearchButton, &dialog))) {
        wxCommandEvent press(wxEVT_BUTTON, kSearchButton);
        press.SetEventObject(search);
        search->GetEventHandler()->ProcessEvent(press);
        auto* list = dynamic_cast<wxListCtrl*>(wxWindow::FindWindowById(kDeviceList, &dialog));
        RunUntil([&] { return list && list->GetItemCount() > 0 && search->IsEnabled(); }, 10000);
        if (list && list->GetItemCount() > 0) list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
      }
    }
    shoot(&dialog, "page5");
    dialog.Hide();
    return failures == 0 ? 0 : 1;
  }

 private:
  std::string m_out;
  int m_lang = 0;
  bool m_viewer = false;
  bool m_about = false;
  bool m_search = false;
};

}  // namespace

wxIMPLEMENT_APP(ShotsApp);
