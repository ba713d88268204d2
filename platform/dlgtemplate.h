// Dialog layouts kept as code tables, one per template id: every control's id,
// kind, rectangle in dialog units, style and text. Dialog units convert to
// pixels with the template font's metrics (horizontal unit = average character
// width / 4, vertical unit = character height / 8), so that a layout keeps its
// designed proportions whatever the font.
#pragma once

#include <wx/font.h>
#include <wx/gdicmn.h>

#include <functional>
#include <map>
#include <vector>

class wxWindow;

namespace platform {

enum class ControlKind {
    GroupBox,
    Static,
    Edit,
    DropList,    // drop-down list combo box
    ListView,    // report view
    PushButton,
    CheckBox,    // automatic check box
    UpDown,
    Progress,
    Custom,      // made by the caller's factory (e.g. an IP address control)
};

// Style bits of a template control.
enum : unsigned {
    TS_HIDDEN = 1u << 0,
    TS_DISABLED = 1u << 1,   // disabled; static texts and group boxes show greyed
    TS_READONLY = 1u << 2,
    TS_MULTILINE = 1u << 3,
    TS_BORDER = 1u << 4,
    TS_RIGHT = 1u << 5,      // right-aligned text
    TS_NO_SORT_HEADER = 1u << 6,
    TS_SINGLE_SEL = 1u << 7,
    TS_PASSWORD = 1u << 8,
};

constexpr int ID_NONE = -1;  // a control without identifier

struct TemplateControl {
    int id;
    ControlKind kind;
    int x, y, cx, cy;  // dialog units
    unsigned style;
    const char* text;  // UTF-8
};

struct DialogTemplate {
    int id;
    int cx, cy;          // dialog units
    const char* face;    // font face of the design
    int points;
    std::vector<TemplateControl> controls;
};

// Registers a template under its id (the module that owns the layout does so
// once, before its dialogs are made). A later registration replaces it.
void RegisterDialogTemplate(const DialogTemplate* layout);
const DialogTemplate* FindDialogTemplate(int id);

// An installed face standing in for a face of the design ("宋体" -> a CJK
// face, "Arial" -> a metric-compatible sans face); the face itself when it is
// installed.
wxString MapFontFace(const wxString& face);
wxFont TemplateFont(const DialogTemplate& layout);
// The template font, made smaller a point at a time (not below `min_points`)
// until the template measured with it fits `space` on `window`: a host that
// gives a dialog less room than its design font needs still shows all of it.
// A default `space` asks for no fitting.
wxFont FittedTemplateFont(wxWindow* window, const DialogTemplate& layout, const wxSize& space,
                          int min_points = 7);

// Conversion of dialog units to pixels for one font.
struct DialogUnits {
    int base_x = 8;  // average character width
    int base_y = 16; // character height
    static DialogUnits For(wxWindow* window, const wxFont& font);
    int X(int units) const { return units * base_x / 4; }
    int Y(int units) const { return units * base_y / 8; }
    wxRect ToPixels(int x, int y, int cx, int cy) const {
        return wxRect(X(x), Y(y), X(cx), Y(cy));
    }
    wxSize Size(const DialogTemplate& layout) const {
        return wxSize(X(layout.cx), Y(layout.cy));
    }
};

using CustomControlFactory =
    std::function<wxWindow*(wxWindow* parent, const TemplateControl& control, const wxRect& rect)>;

// Creates the template's controls as children of `parent` (which gets the
// template font, or `font` when one is given) and returns them by id; controls without id are made but not
// listed. Custom controls come from `factory`; for any other control the
// factory may return a window of its own (a subclass of the usual control, say),
// or null for the usual one.
std::map<int, wxWindow*> CreateTemplateControls(wxWindow* parent, const DialogTemplate& layout,
                                                const CustomControlFactory& factory = {},
                                                const wxFont& font = wxNullFont);

}  // namespace platform
