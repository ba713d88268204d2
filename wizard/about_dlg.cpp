#include "wizard/about_dlg.h"

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "platform/dlgtemplate.h"
#include "wizard/wizard_resources.h"

namespace {

constexpr int kIconControl = 2;

// Template 100. The two text lines are wide enough for the longest line of the
// three language files.
const platform::DialogTemplate kAboutTemplate = {
    CAboutDlg::IDD,
    250,
    58,
    "宋体",
    9,
    {
        {kIconControl, platform::ControlKind::Custom, 11, 14, 20, 20, 0, ""},
        {CAboutDlg::IDC_VERSION, platform::ControlKind::Static, 40, 12, 200, 10, 0, "TavrinSetup 1.0 版"},
        {CAboutDlg::IDC_COPYRIGHT, platform::ControlKind::Static, 40, 26, 200, 10, 0, "版权所有 (C)"},
        {wxID_OK, platform::ControlKind::PushButton, 190, 38, 50, 14, 0, ""},
    },
};

}  // namespace

bool CAboutDlg::Create(wxWindow* parent) {
  if (GetHandle()) return true;
  if (!wxDialog::Create(parent, wxID_ANY, wxString::FromUTF8("关于 TavrinSetup"), wxDefaultPosition,
                        wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX))
    return false;
  const wxBitmap icon = wizard::ApplicationIcon().GetIcon(32);
  const auto controls = platform::CreateTemplateControls(
      this, kAboutTemplate, [&icon](wxWindow* parent, const platform::TemplateControl& c, const wxRect& r) -> wxWindow* {
        if (c.id != kIconControl) return nullptr;
        return new wxStaticBitmap(parent, wxID_ANY, icon, r.GetPosition(), r.GetSize());
      });
  const platform::DialogUnits units = platform::DialogUnits::For(this, GetFont());
  SetClientSize(units.Size(kAboutTemplate));
  m_version = static_cast<wxStaticText*>(controls.at(IDC_VERSION));
  m_copyright = static_cast<wxStaticText*>(controls.at(IDC_COPYRIGHT));
  SetAffirmativeId(wxID_OK);
  OnInitDialog();
  return true;
}

int CAboutDlg::DoModal(wxWindow* parent) {
  if (!Create(parent)) return -1;
  CentreOnParent();
  return ShowModal();
}

void CAboutDlg::OnInitDialog() {
  m_version->SetLabel(wxString::FromUTF8(m_langText.GetText("#0028")));
  m_copyright->SetLabel(wxString::FromUTF8(m_langText.GetText("#0029")));
  SetTitle(wxString::FromUTF8(m_langText.GetText("#0030")));
}
