#include "platform/winclass.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tglbtn.h>

namespace platform {

std::string WindowClassName(const wxWindow* window) {
    if (!window) return std::string();
    if (auto named = dynamic_cast<const WindowClassNamed*>(window)) return named->WindowClassName();
    if (dynamic_cast<const wxTextCtrl*>(window)) return "Edit";
    if (dynamic_cast<const wxComboBox*>(window) || dynamic_cast<const wxChoice*>(window))
        return "ComboBox";
    if (dynamic_cast<const wxAnyButton*>(window) || dynamic_cast<const wxCheckBox*>(window) ||
        dynamic_cast<const wxRadioButton*>(window) || dynamic_cast<const wxStaticBox*>(window))
        return "Button";
    if (dynamic_cast<const wxStaticText*>(window)) return "Static";
    if (dynamic_cast<const wxListBox*>(window)) return "ListBox";
    if (dynamic_cast<const wxListCtrl*>(window)) return "SysListView32";
    if (dynamic_cast<const wxSpinButton*>(window)) return "msctls_updown32";
    if (dynamic_cast<const wxGauge*>(window)) return "msctls_progress32";
    return std::string(wxString(window->GetClassInfo()->GetClassName()).utf8_str());
}

}  // namespace platform
