// The search window program's frame: the device search dialog filling its
// client area. Closing the frame asks the dialog first, which refuses while a
// camera restarts.
#pragma once

#include <wx/frame.h>

#include <string>

class SearchFrame : public wxFrame {
public:
    // The English dialog for "lang_en.ini", the Chinese one otherwise, as the
    // setup wizard chooses (through ShowSearchDlg / ShowSearchEnDlg).
    explicit SearchFrame(const std::string& lang_file);

    wxWindow* Dialog() const { return m_dialog; }

private:
    void OnClose(wxCloseEvent& event);

    wxWindow* m_dialog = nullptr;
};
