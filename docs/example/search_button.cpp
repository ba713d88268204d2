// search_button: a window with one button that opens the kit's camera search
// inside it, through libKeplinLib. Build it against the installed package:
//
//   c++ -o search_button search_button.cpp $(pkg-config --cflags --libs keplinlib)
//
// `search_button --open` presses the button at once; `--quit` closes the
// window as soon as the dialog is up (a check that the library loads and
// works, used by the package test).
#include <keplin/keplinlib.h>
#include <wx/wx.h>

#include <cstdio>

namespace {

class SearchFrame : public wxFrame {
 public:
  SearchFrame() : wxFrame(nullptr, wxID_ANY, "Cameras on this network") {
    m_button = new wxButton(this, wxID_ANY, "Search for cameras", wxPoint(8, 8));
    m_button->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OpenSearch(); });
  }

  // The dialog becomes a child of this frame, below the button, and lives as
  // long as the frame. Made at no size, it tells the size of its layout and
  // the window grows to hold it. Null for the language file: the built-in
  // English texts.
  bool OpenSearch() {
    m_button->Disable();
    const int top = m_button->GetRect().GetBottom() + 8;
    const size_t before = GetChildren().GetCount();
    ShowSearchEnDlg(this, KeplinRect{0, top, 0, top}, nullptr);
    if (GetChildren().GetCount() == before) return false;
    wxWindow* dialog = GetChildren().GetLast()->GetData();
    const wxSize size = dialog->GetMinSize();
    dialog->SetSize(0, top, size.x, size.y);
    SetClientSize(size.x, top + size.y);
    return true;
  }

 private:
  wxButton* m_button;
};

}  // namespace

class SearchButtonApp : public wxApp {
 public:
  bool OnInit() override {
    bool open = false, quit = false;
    for (int i = 1; i < argc; ++i) {
      const wxString arg = argv[i];
      if (arg == "--open") {
        open = true;
      } else if (arg == "--quit") {
        quit = true;
      } else {
        std::fprintf(stderr, "usage: search_button [--open] [--quit]\n");
        return false;
      }
    }
    auto* frame = new SearchFrame;
    frame->Show();
    // Once the window is laid out: the dialog takes the client area's size.
    CallAfter([this, frame, open, quit] {
      if (open) {
        const bool shown = frame->OpenSearch();
        std::printf("search dialog %s\n", shown ? "shown" : "missing");
        if (!shown) m_status = 1;
      }
      if (quit) frame->Close();
    });
    return true;
  }
  int OnRun() override {
    const int status = wxApp::OnRun();
    return m_status != 0 ? m_status : status;
  }

 private:
  int m_status = 0;
};

wxIMPLEMENT_APP(SearchButtonApp);
