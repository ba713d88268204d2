// searchhost: the device search dialog in a window of its own.
//
//   searchhost [--lang FILE]
//
// FILE is a language file beside the program ("lang_cn.ini" by default; "cn"
// and "en" are short for the two shipped files). As in the setup wizard, the
// English dialog is used for "lang_en.ini" and the Chinese one otherwise.
#include "tools/searchhost/searchframe.h"

#include <wx/app.h>
#include <wx/cmdline.h>

#include <string>

namespace {

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
