// The search window program under a flood: the frame of tools/searchhost with
// its real engine searches once, runs its event loop for a while, and prints
// its rows and peak memory. With --bare the same window runs without a
// search, for the memory of the window alone. Sends discovery traffic: runs
// only inside the lab (bench/lab_scale.sh), on a virtual display.
//
//   window_flood_bench [--bare] [--seconds N] [--genuine PREFIX]
//
// PREFIX: rows whose camera name begins with it are counted as genuine.
#include <sys/resource.h>

#include <wx/app.h>
#include <wx/listctrl.h>
#include <wx/timer.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/msgbox.h"
#include "searchui/searchdlg.h"
#include "tools/searchhost/searchframe.h"

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class WindowFloodApp : public wxApp {
public:
    bool OnInit() override {
        for (int i = 1; i < argc; ++i) {
            const std::string arg(argv[i].utf8_str());
            if (arg == "--bare") m_bare = true;
            else if (arg == "--seconds" && i + 1 < argc) m_seconds = std::atoi(argv[++i].utf8_str());
            else if (arg == "--genuine" && i + 1 < argc) m_genuine = std::string(argv[++i].utf8_str());
        }
        if (!m_bare && !std::getenv("KEPLIN_LAB")) {
            std::fprintf(stderr, "window_flood_bench searches the network: run it inside the lab\n");
            return false;
        }
        // A full list is reported in a box; nobody is there to close it.
        platform::SetMessageBoxHandler([this](const platform::MessageBoxCall&) {
            ++m_boxes;
            return platform::IDOK;
        });
        m_frame = new SearchFrame("lang_en.ini");
        m_frame->Show();
        m_dialog = dynamic_cast<CSearchDlgBase*>(m_frame->Dialog());
        if (!m_dialog) {
            std::fprintf(stderr, "window_flood_bench: the search dialog was not made\n");
            return false;
        }
        if (!m_bare) CallAfter([this] { m_dialog->OnSearch(); });
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Finish(); });
        m_timer.StartOnce(m_seconds * 1000);
        return true;
    }

private:
    void Finish() {
        const long rows = m_dialog->m_deviceList ? m_dialog->m_deviceList->GetItemCount() : 0;
        long genuine = 0;
        for (long row = 0; row < rows && !m_genuine.empty(); ++row) {
            std::string name, address;
            if (m_dialog->m_devices.Describe(static_cast<int>(row), &name, &address) && name.rfind(m_genuine, 0) == 0)
                ++genuine;
        }
        std::printf("%s window after %d s: %ld rows (%ld genuine), %d cameras collected, %d message boxes; "
                    "peak memory %.1f MiB\n",
                    m_bare ? "bare" : "searching", m_seconds, rows, genuine, m_dialog->m_devices.Count(), m_boxes,
                    PeakKilobytes() / 1024.0);
        std::fflush(stdout);
        m_frame->Destroy();
    }

    bool m_bare = false;
    int m_seconds = 20;
    std::string m_genuine;
    int m_boxes = 0;
    SearchFrame* m_frame = nullptr;
    CSearchDlgBase* m_dialog = nullptr;
    wxTimer m_timer;
};

}  // namespace

wxIMPLEMENT_APP(WindowFloodApp);
