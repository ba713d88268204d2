#include "searchui/keplinlib.h"

#include "searchui/searchdlg.h"
#include "searchui/templates.h"

#include <string>

namespace {

void ShowDialog(CSearchDlgBase* dialog, int template_id, wxWindow* parent, KeplinRect rect,
                const char* lang_file) {
    // The library's own copy of the name.
    const std::string name = lang_file ? lang_file : "";
    const wxSize room(rect.right - rect.left, rect.bottom - rect.top);
    if (!dialog->Create(parent, template_id, room)) {
        delete dialog;
        return;
    }
    dialog->SetSize(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    dialog->Refresh();
    dialog->m_lang.SetLangFile(name);
    dialog->ApplyTexts();
    dialog->Show();
    // The dialog belongs to its parent window from now on.
}

}  // namespace

extern "C" void ShowSearchDlg(wxWindow* parent, KeplinRect rect, const char* lang_file) {
    if (!parent) return;
    ShowDialog(new CSearchDlg, searchui::TEMPLATE_CHINESE, parent, rect, lang_file);
}

extern "C" void ShowSearchEnDlg(wxWindow* parent, KeplinRect rect, const char* lang_file) {
    if (!parent) return;
    ShowDialog(new CSearchEnDlg, searchui::TEMPLATE_ENGLISH, parent, rect, lang_file);
}
