#include "searchui/ipaddressctrl.h"

#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <cstdio>

namespace {

bool ParseDotted(const std::string& text, int octets[4]) {
    int n = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%3d.%3d.%3d.%3d%n%c", &octets[0], &octets[1], &octets[2],
                    &octets[3], &n, &tail) < 4)
        return false;
    if (static_cast<size_t>(n) != text.size()) return false;
    for (int i = 0; i < 4; ++i)
        if (octets[i] < 0 || octets[i] > 255) return false;
    return true;
}

}  // namespace

CIPAddressCtrl::CIPAddressCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxPanel(parent, id, pos, size, wxBORDER_THEME | wxTAB_TRAVERSAL) {
    SetBackgroundColour(*wxWHITE);
    for (int i = 0; i < 4; ++i) {
        auto* field = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                                     wxBORDER_NONE | wxTE_CENTRE);
        field->SetMaxLength(3);
        field->Bind(wxEVT_CHAR, [this, i](wxKeyEvent& e) { OnChar(e, i); });
        field->Bind(wxEVT_TEXT, [this, i](wxCommandEvent&) { OnText(i); });
        field->Bind(wxEVT_KILL_FOCUS, [this, i](wxFocusEvent& e) { OnFieldFocusLost(e, i); });
        m_fields[static_cast<size_t>(i)] = field;
        if (i < 3) m_dots[static_cast<size_t>(i)] = new wxStaticText(this, wxID_ANY, ".");
    }
    Bind(wxEVT_SIZE, [this](wxSizeEvent& e) { ArrangeFields(); e.Skip(); });
    ArrangeFields();
}

void CIPAddressCtrl::ArrangeFields() {
    const wxSize client = GetClientSize();
    const int dot = std::max(4, GetTextExtent(".").x + 2);
    const int field = std::max(8, (client.x - 3 * dot) / 4);
    int x = 0;
    for (size_t i = 0; i < 4; ++i) {
        m_fields[i]->SetSize(x, 0, field, client.y);
        x += field;
        if (i < 3) {
            m_dots[i]->SetSize(x, 0, dot, client.y);
            x += dot;
        }
    }
}

std::string CIPAddressCtrl::GetAddress() const {
    std::string text;
    for (size_t i = 0; i < 4; ++i) {
        long value = 0;
        const wxString field = m_fields[i]->GetValue();
        if (!field.empty() && !field.ToLong(&value)) value = 0;
        if (value > 255) value = 255;
        if (i) text += '.';
        text += std::to_string(value);
    }
    return text;
}

void CIPAddressCtrl::SetAddress(const std::string& text) {
    int octets[4];
    if (!ParseDotted(text, octets)) {
        ClearAddress();
        return;
    }
    m_updating = true;
    for (size_t i = 0; i < 4; ++i) m_fields[i]->ChangeValue(std::to_string(octets[i]));
    m_updating = false;
}

void CIPAddressCtrl::ClearAddress() {
    m_updating = true;
    for (auto* field : m_fields) field->ChangeValue(wxString());
    m_updating = false;
}

bool CIPAddressCtrl::IsBlank() const {
    for (auto* field : m_fields)
        if (!field->GetValue().empty()) return false;
    return true;
}

void CIPAddressCtrl::SetLabel(const wxString& label) { SetAddress(std::string(label.utf8_str())); }

wxString CIPAddressCtrl::GetLabel() const { return wxString::FromUTF8(GetAddress()); }

bool CIPAddressCtrl::Enable(bool enable) {
    const bool changed = wxPanel::Enable(enable);
    const wxColour back = enable ? *wxWHITE : wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    SetBackgroundColour(back);
    for (auto* field : m_fields) field->SetBackgroundColour(back);
    for (auto* dot : m_dots) dot->SetBackgroundColour(back);
    Refresh();
    return changed;
}

void CIPAddressCtrl::OnChar(wxKeyEvent& event, int field) {
    const int key = event.GetKeyCode();
    if (key == '.' || key == ' ') {
        if (field < 3 && !m_fields[static_cast<size_t>(field)]->GetValue().empty()) {
            m_fields[static_cast<size_t>(field + 1)]->SetFocus();
            m_fields[static_cast<size_t>(field + 1)]->SelectAll();
        }
        return;
    }
    if (key == WXK_BACK && field > 0 && m_fields[static_cast<size_t>(field)]->GetInsertionPoint() == 0 &&
        !m_fields[static_cast<size_t>(field)]->HasSelection()) {
        auto* previous = m_fields[static_cast<size_t>(field - 1)];
        previous->SetFocus();
        previous->SetInsertionPointEnd();
        return;
    }
    if (key >= '0' && key <= '9') {
        event.Skip();
        return;
    }
    // Editing and navigation keys pass; other printable characters do not.
    if (key < WXK_SPACE || key == WXK_DELETE || key >= WXK_START || event.HasModifiers()) event.Skip();
}

void CIPAddressCtrl::OnText(int field) {
    if (m_updating) return;
    auto* text = m_fields[static_cast<size_t>(field)];
    long value = 0;
    if (text->GetValue().ToLong(&value) && value > 255) {
        m_updating = true;
        text->ChangeValue("255");
        text->SetInsertionPointEnd();
        m_updating = false;
        value = 255;
    }
    // Three digits complete a field: go on to the next one.
    if (text->GetValue().length() == 3 && field < 3 && text->GetInsertionPoint() == 3) {
        m_fields[static_cast<size_t>(field + 1)]->SetFocus();
        m_fields[static_cast<size_t>(field + 1)]->SelectAll();
    }
}

void CIPAddressCtrl::OnFieldFocusLost(wxFocusEvent& event, int field) {
    auto* text = m_fields[static_cast<size_t>(field)];
    long value = 0;
    if (!text->GetValue().empty() && text->GetValue().ToLong(&value)) {
        m_updating = true;
        text->ChangeValue(wxString::Format("%ld", value));
        m_updating = false;
    }
    event.Skip();
}
