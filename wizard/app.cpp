// TavrinSetup: the kit's setup wizard.
//
//   TavrinSetup [--lang cn|tw|en|N]
//
// --lang picks an entry of the language box after the start, as the user
// would on the first page (N counts the entries of "Language.ini" from 0).
#include <wx/app.h>
#include <wx/cmdline.h>

#include "wizard/setup_wizard_dlg.h"

namespace {

class CSetupWizardApp : public wxApp {
 public:
  bool OnInit() override { return wxApp::OnInit(); }

  int OnRun() override {
    CSetupWizardDlg dialog;
    if (!dialog.Create()) return 1;
    SetTopWindow(&dialog);
    if (m_lang >= 0) dialog.CallAfter([&dialog, lang = m_lang] { dialog.SelectLanguage(lang); });
    dialog.DoModal();
    SetTopWindow(nullptr);
    return 0;
  }

  void OnInitCmdLine(wxCmdLineParser& parser) override {
    wxApp::OnInitCmdLine(parser);
    parser.AddOption("l", "lang", "language: cn, tw, en or the entry's number in Language.ini");
  }

  bool OnCmdLineParsed(wxCmdLineParser& parser) override {
    wxString lang;
    if (parser.Found("lang", &lang)) {
      long index = -1;
      if (lang == "cn")
        m_lang = 0;
      else if (lang == "tw")
        m_lang = 1;
      else if (lang == "en")
        m_lang = 2;
      else if (lang.ToLong(&index) && index >= 0)
        m_lang = static_cast<int>(index);
      else {
        wxMessageOutputStderr().Printf("TavrinSetup: unknown language %s (cn, tw, en or a number)\n", lang);
        return false;
      }
    }
    return wxApp::OnCmdLineParsed(parser);
  }

 private:
  int m_lang = -1;
};

}  // namespace

wxIMPLEMENT_APP(CSetupWizardApp);
