// CAboutDlg: the about box (dialog template 100), modal. Its two lines and its
// caption come from the language file of the language chosen in the wizard.
#pragma once

#include "searchui/langtext.h"

#include <wx/dialog.h>

class wxStaticText;

class CAboutDlg : public wxDialog {
 public:
  enum : int { IDD = 100, IDC_VERSION = 1006, IDC_COPYRIGHT = 1005 };

  CAboutDlg() = default;
  // Makes the window as a child of `parent` and runs OnInitDialog.
  bool Create(wxWindow* parent);
  // Creates the window when needed and runs it modally.
  int DoModal(wxWindow* parent);

  CLangText m_langText;
  wxStaticText* m_version = nullptr;
  wxStaticText* m_copyright = nullptr;

 private:
  void OnInitDialog();
};
