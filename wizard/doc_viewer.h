// CDocViewerDlg: a modeless, resizable window (dialog template 176) whose web
// view shows one document, a PDF file of the kit. The browser fills the client
// area. A closed viewer destroys itself.
#pragma once

#include <string>

#include <wx/dialog.h>

class wxWebView;

class CDocViewerDlg : public wxDialog {
 public:
  enum : int { IDD = 176, IDC_EXPLORER = 1009 };

  CDocViewerDlg() = default;
  // Makes the window as a child of `parent`, hidden, and opens m_strAddress.
  bool Create(wxWindow* parent);

  wxWebView* GetBrowser() const { return m_browser; }
  // The URL handed to the browser: the address as a file URL, or
  // "about:blank" for an empty address.
  static wxString AddressUrl(const std::string& address);

  std::string m_strAddress;
  int m_bInitialized = 0;

 private:
  void OnInitDialog();
  void OnSize(wxSizeEvent& event);

  wxWebView* m_browser = nullptr;
};
