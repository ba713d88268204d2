#include "platform/dlgtemplate.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/fontenum.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <mutex>

namespace platform {
namespace {

std::mutex g_templates_mutex;

std::map<int, const DialogTemplate*>& Templates() {
    static std::map<int, const DialogTemplate*> templates;
    return templates;
}

bool FaceInstalled(const wxString& face) {
    return wxFontEnumerator::IsValidFacename(face);
}

wxString FirstInstalled(std::initializer_list<const char*> faces) {
    for (const char* face : faces) {
        const wxString name = wxString::FromUTF8(face);
        if (FaceInstalled(name)) return name;
    }
    return wxString();
}

}  // namespace

void RegisterDialogTemplate(const DialogTemplate* layout) {
    if (!layout) return;
    std::lock_guard<std::mutex> lock(g_templates_mutex);
    Templates()[layout->id] = layout;
}

const DialogTemplate* FindDialogTemplate(int id) {
    std::lock_guard<std::mutex> lock(g_templates_mutex);
    const auto it = Templates().find(id);
    return it == Templates().end() ? nullptr : it->second;
}

wxString MapFontFace(const wxString& face) {
    if (FaceInstalled(face)) return face;
    const wxString lower = face.Lower();
    wxString mapped;
    if (face == wxString::FromUTF8("宋体") || face == wxString::FromUTF8("新宋体") ||
        lower == "simsun" || lower == "nsimsun" || face == wxString::FromUTF8("微软雅黑")) {
        mapped = FirstInstalled({"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Droid Sans Fallback",
                                 "WenQuanYi Zen Hei", "AR PL UMing CN"});
    } else if (lower == "arial" || lower == "ms sans serif" || lower == "ms shell dlg" ||
               lower == "tahoma") {
        mapped = FirstInstalled({"Liberation Sans", "Arimo", "DejaVu Sans"});
    }
    return mapped;  // empty: the system's default face
}

wxFont TemplateFont(const DialogTemplate& layout) {
    wxFontInfo info(layout.points);
    const wxString face = MapFontFace(wxString::FromUTF8(layout.face));
    if (!face.empty()) info.FaceName(face);
    return wxFont(info);
}

wxFont FittedTemplateFont(wxWindow* window, const DialogTemplate& layout, const wxSize& space,
                          int min_points) {
    wxFont font = TemplateFont(layout);
    if (space == wxDefaultSize) return font;
    for (int points = layout.points; points > min_points; --points) {
        const wxSize need = DialogUnits::For(window, font).Size(layout);
        if (need.x <= space.x && need.y <= space.y) break;
        font.SetPointSize(points - 1);
    }
    return font;
}

DialogUnits DialogUnits::For(wxWindow* window, const wxFont& font) {
    DialogUnits units;
    int width = 0;
    int height = 0;
    window->GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width,
                          &height, nullptr, nullptr, &font);
    if (width > 0 && height > 0) {
        units.base_x = (width / 26 + 1) / 2;
        units.base_y = height;
    }
    return units;
}

namespace {

// The control a template row stands for, as the toolkit makes it.
wxWindow* MakeStandardControl(wxWindow* parent, const TemplateControl& c, const wxRect& r, int id,
                              const wxString& text) {
    wxWindow* window = nullptr;
    switch (c.kind) {
        case ControlKind::GroupBox:
            window = new wxStaticBox(parent, id, text, r.GetPosition(), r.GetSize());
            break;
        case ControlKind::Static:
            window = new wxStaticText(parent, id, text, r.GetPosition(), r.GetSize(),
                                      wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END |
                                          ((c.style & TS_RIGHT) ? wxALIGN_RIGHT : wxALIGN_LEFT));
            break;
        case ControlKind::Edit: {
            long style = 0;
            if (c.style & TS_READONLY) style |= wxTE_READONLY;
            if (c.style & TS_MULTILINE) style |= wxTE_MULTILINE | wxTE_NO_VSCROLL;
            if (c.style & TS_PASSWORD) style |= wxTE_PASSWORD;
            style |= (c.style & TS_BORDER) ? wxBORDER_THEME : wxBORDER_NONE;
            window = new wxTextCtrl(parent, id, text, r.GetPosition(), r.GetSize(), style);
            break;
        }
        case ControlKind::DropList:
            // The template height includes the drop-down part.
            window = new wxChoice(parent, id, r.GetPosition(), wxSize(r.width, -1));
            break;
        case ControlKind::ListView: {
            long style = wxLC_REPORT;
            if (c.style & TS_SINGLE_SEL) style |= wxLC_SINGLE_SEL;
            window = new wxListCtrl(parent, id, r.GetPosition(), r.GetSize(), style | wxBORDER_THEME);
            break;
        }
        case ControlKind::PushButton:
            window = new wxButton(parent, id, text, r.GetPosition(), r.GetSize());
            break;
        case ControlKind::CheckBox:
            window = new wxCheckBox(parent, id, text, r.GetPosition(), r.GetSize());
            break;
        case ControlKind::UpDown:
            window = new wxSpinButton(parent, id, r.GetPosition(), r.GetSize(), wxSP_VERTICAL);
            break;
        case ControlKind::Progress:
            window = new wxGauge(parent, id, 100, r.GetPosition(), r.GetSize(),
                                 wxGA_HORIZONTAL | wxGA_SMOOTH);
            break;
        case ControlKind::Custom:
            break;  // only the factory makes these
    }
    return window;
}

}  // namespace

std::map<int, wxWindow*> CreateTemplateControls(wxWindow* parent, const DialogTemplate& layout,
                                                const CustomControlFactory& factory,
                                                const wxFont& given_font) {
    std::map<int, wxWindow*> made;
    const wxFont font = given_font.IsOk() ? given_font : TemplateFont(layout);
    parent->SetFont(font);
    const DialogUnits units = DialogUnits::For(parent, font);

    for (const TemplateControl& c : layout.controls) {
        const wxRect r = units.ToPixels(c.x, c.y, c.cx, c.cy);
        const wxString text = wxString::FromUTF8(c.text ? c.text : "");
        const int id = c.id == ID_NONE ? wxID_ANY : c.id;
        wxWindow* w = nullptr;
        if (factory) w = factory(parent, c, r);
        if (!w) w = MakeStandardControl(parent, c, r, id, text);
        if (!w) continue;
        if (c.style & TS_DISABLED) w->Disable();
        if (c.style & TS_HIDDEN) w->Hide();
        if (c.id != ID_NONE) made[c.id] = w;
    }
    return made;
}

}  // namespace platform
