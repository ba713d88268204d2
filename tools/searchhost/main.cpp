// searchhost: the device search dialog in a window of its own.
//
//   searchhost [--lang FILE]
//
// FILE is a language file beside the program ("lang_cn.ini" by default; "cn"
// and "en" are short for the two shipped files). As in the setup wizard, the
// English dialog is used for "lang_en.ini" and the Chinese one otherwise.
#include "searchui/keplinlib.h"

#include <wx/app.h>
#include <wx/cmdline.h>
#include <wx/frame.h>

#include <string>

namespace {

class SearchFrame : public wxFrame {
public:
    explicit SearchFrame(const std::string& lang_file)
        : wxFrame(nullptr, wxID_ANY, lang_file == "lang_en.ini" ? "Camera search" : wxString::FromUTF8("设备搜索"),
                  wxDefaultPosition, wxDefaultSize,
                  wxDEFAULT_FRAME_STYLE & ~(wxRESIZE_BORDER | wxMAXIMIZE_BOX)) {
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

private:
    // The dialog may refuse to close (a camera is restarting).
    void OnClose(wxCloseEvent& event) {
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

    wxWindow* m_dialog = nullptr;
};

class SearchHostApp : public wxApp {
public:
    bool OnInit() override {
        if (!wxApp::OnInit()) return false;
        auto* frame = new SearchFrame(m_lang);
        frame->Centre();
        frame->Show();
        return true;
    }
    void OnInitCmdLine(wxCmdLineParser& parser) override {
        wxApp::OnInitCmdLine(parser);
        parser.AddOption("l", "lang", "language file beside the program (cn, en or a file name)");
    }
    bool OnCmdLineParsed(wxCmdLineParser& parser) override {
        wxString lang;
        if (parser.Found("lang", &lang)) {
            m_lang = std::string(lang.utf8_str());
            if (m_lang == "cn") m_lang = "lang_cn.ini";
            if (m_lang == "en") m_lang = "lang_en.ini";
        }
        return wxApp::OnCmdLineParsed(parser);
    }

private:
    std::string m_lang = "lang_cn.ini";
};

}  // namespace

wxIMPLEMENT_APP(SearchHostApp);
