// An IPv4 address entry: four octet fields in one frame. Its text is
// "a.b.c.d", with "0.0.0.0" when all fields are blank.
#pragma once

#include "platform/winclass.h"

#include <wx/panel.h>

#include <array>
#include <string>

class wxTextCtrl;
class wxStaticText;

class CIPAddressCtrl : public wxPanel, public platform::WindowClassNamed {
public:
    CIPAddressCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

    // "a.b.c.d"; blank fields count as 0, all blank gives "0.0.0.0".
    std::string GetAddress() const;
    // Shows a dotted address; any other text (empty included) blanks the
    // fields.
    void SetAddress(const std::string& text);
    void ClearAddress();
    bool IsBlank() const;

    const char* WindowClassName() const override { return "SysIPAddress32"; }

    // The window text is the address, as with the native control.
    void SetLabel(const wxString& label) override;
    wxString GetLabel() const override;
    bool Enable(bool enable = true) override;

private:
    void ArrangeFields();
    void OnChar(wxKeyEvent& event, int field);
    void OnText(int field);
    void OnFieldFocusLost(wxFocusEvent& event, int field);

    std::array<wxTextCtrl*, 4> m_fields{};
    std::array<wxStaticText*, 3> m_dots{};
    bool m_updating = false;
};
