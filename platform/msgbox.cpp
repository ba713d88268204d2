#include "platform/msgbox.h"

#include <wx/msgdlg.h>

#include <utility>

namespace platform {
namespace {

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

long StyleFor(unsigned flags) {
    long style = (flags & MB_BUTTON_MASK) == MB_YESNO ? wxYES_NO : wxOK;
    switch (flags & MB_ICON_MASK) {
        case MB_ICONQUESTION: style |= wxICON_QUESTION; break;
        case MB_ICONEXCLAMATION: style |= wxICON_EXCLAMATION; break;
        case MB_ICONINFORMATION: style |= wxICON_INFORMATION; break;
        default: style |= wxICON_NONE; break;
    }
    return style;
}

}  // namespace

int MessageBox(wxWindow* owner, const std::string& text, const std::string& caption,
               unsigned flags) {
    if (Handler()) return Handler()(MessageBoxCall{owner, text, caption, flags});
    wxMessageDialog box(owner, wxString::FromUTF8(text), wxString::FromUTF8(caption),
                        StyleFor(flags));
    switch (box.ShowModal()) {
        case wxID_YES: return IDYES;
        case wxID_NO: return IDNO;
        default: return (flags & MB_BUTTON_MASK) == MB_YESNO ? IDNO : IDOK;
    }
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

}  // namespace platform
