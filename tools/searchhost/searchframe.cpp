#include "tools/searchhost/searchframe.h"

#include "searchui/keplinlib.h"

SearchFrame::SearchFrame(const std::string& lang_file)
    : wxFrame(nullptr, wxID_ANY, lang_file == "lang_en.ini" ? "Camera search" : wxString::FromUTF8("设备搜索"),
              wxDefaultPosition, wxDefaultSize, wxDEFAULT_FRAME_STYLE & ~(wxRESIZE_BORDER | wxMAXIMIZE_BOX)) {
    SetBackgroundColour(*wxWHITE);
    // Made at no size first: the dialog then tells the size of its layout.
    const KeplinRect none{0, 0, 0, 0};
    if (lang_file == "lang_en.ini")
        ShowSearchEnDlg(this, none, lang_file.c_str());
    else
        ShowSearchDlg(this, none, lang_file.c_str());
    if (GetChildren().empty()) return;
    m_dialog = GetChildren().GetLast()->GetData();
    const wxSize size = m_dialog->GetMinSize();
    SetClientSize(size);
    m_dialog->SetSize(0, 0, size.x, size.y);
    Bind(wxEVT_CLOSE_WINDOW, &SearchFrame::OnClose, this);
}

void SearchFrame::OnClose(wxCloseEvent& event) {
    if (m_dialog && event.CanVeto()) {
        wxCloseEvent ask(wxEVT_CLOSE_WINDOW, m_dialog->GetId());
        ask.SetEventObject(m_dialog);
        ask.SetCanVeto(true);
        m_dialog->GetEventHandler()->ProcessEvent(ask);
        if (ask.GetVeto()) {
            event.Veto();
            return;
        }
    }
    event.Skip();
}
