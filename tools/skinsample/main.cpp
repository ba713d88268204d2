// skinsample: shows the skinned sample dialog.
//   skinsample              run it until Close is clicked
//   skinsample --hover      also point at the button with a tip (for screenshots)
#include <wx/app.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "tools/skinsample/sample_dialog.h"

class SkinSampleApp : public wxApp {
 public:
  bool OnInit() override {
    const bool hover = argc > 1 && wxString(argv[1]) == "--hover";
    SkinSampleDlg dialog;
    if (!dialog.Create(nullptr)) return false;
    dialog.Move(40, 40);
    if (hover) {
      dialog.CallAfter([&dialog] {
        const CButtonRect* settings = dialog.Item(SkinSampleDlg::kSettings);
        const SkinRect& r = settings->GetRect();
        wxUIActionSimulator().MouseMove(dialog.ClientToScreen(wxPoint(r.left + 40, r.bottom - 4)));
        // Pointing elsewhere took the highlight away; give it back for the picture.
        dialog.CallAfter([&dialog] { dialog.Item(SkinSampleDlg::kHighlighted)->SetFocus(1); });
      });
    }
    dialog.ShowModal();
    return false;
  }
};

wxIMPLEMENT_APP(SkinSampleApp);
