#include "wizard/doc_viewer.h"

#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/webview.h>

#include "platform/dlgtemplate.h"

namespace {

// Template 176.
const platform::DialogTemplate kViewerTemplate = {
    CDocViewerDlg::IDD,
    454,
    293,
    "System",
    10,
    {{CDocViewerDlg::IDC_EXPLORER, platform::ControlKind::Custom, 3, 3, 447, 286, 0, ""}},
};

}  // namespace

wxString CDocViewerDlg::AddressUrl(const std::string& address) {
  if (address.empty()) return "about:blank";
  return wxFileSystem::FileNameToURL(wxFileName(wxString::FromUTF8(address)));
}

bool CDocViewerDlg::Create(wxWindow* parent) {
  if (!wxDialog::Create(parent, wxID_ANY, "Dialog", wxDefaultPosition, wxDefaultSize,
                        wxCAPTION | wxSYSTEM_MENU | wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX |
                            wxCLOSE_BOX))
    return false;
  const auto controls = platform::CreateTemplateControls(
      this, kViewerTemplate,
      [this](wxWindow* parent, const platform::TemplateControl& c, const wxRect& r) -> wxWindow* {
        if (c.id != IDC_EXPLORER) return nullptr;
        m_browser = wxWebView::New(parent, IDC_EXPLORER, wxWebViewDefaultURLStr, r.GetPosition(), r.GetSize());
        return m_browser;
      });
  if (!m_browser) return false;
  const platform::DialogUnits units = platform::DialogUnits::For(this, GetFont());
  SetClientSize(units.Size(kViewerTemplate));
  Bind(wxEVT_SIZE, &CDocViewerDlg::OnSize, this);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
  OnInitDialog();
  return true;
}

void CDocViewerDlg::OnInitDialog() {
  m_browser->LoadURL(AddressUrl(m_strAddress));
  // The window's caption names the document it shows.
  if (!m_strAddress.empty()) SetTitle(wxFileName(wxString::FromUTF8(m_strAddress)).GetName());
  m_bInitialized = 1;
  const wxSize client = GetClientSize();
  m_browser->SetSize(0, 0, client.x, client.y);
}

void CDocViewerDlg::OnSize(wxSizeEvent& event) {
  event.Skip();
  if (!m_bInitialized) return;
  const wxSize client = GetClientSize();
  m_browser->SetSize(0, 0, client.x, client.y);
  m_browser->Raise();
  m_browser->Refresh();
}
