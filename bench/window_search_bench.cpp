// Peak memory of the search window listing the cameras that answer one real
// search: the window is made and shown, its memory noted, then it searches
// and fills its list when its list timer fires. Sends discovery traffic: run
// it only inside the lab network (bench/memory.sh), under a virtual display.
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/timer.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "searchui/searchdlg.h"
#include "searchui/templates.h"

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Pump(int milliseconds) {
    wxStopWatch watch;
    while (watch.Time() < milliseconds) {
        wxYield();
        wxMilliSleep(5);
    }
}

class BenchApp : public wxApp {
public:
    int OnRun() override {
        if (!std::getenv("KEPLIN_LAB")) {
            std::fprintf(stderr, "window_search_bench: sends discovery traffic; run it inside the lab\n");
            return 1;
        }
        const char* wait = std::getenv("KEPLIN_BENCH_WAIT_MS");
        const int wait_ms = wait ? std::atoi(wait) : 6000;
        auto* frame = new wxFrame(nullptr, wxID_ANY, "search");
        auto* dialog = new CSearchEnDlg();
        dialog->Create(frame, 12001);
        frame->SetClientSize(dialog->GetMinSize());
        frame->Show();
        Pump(1000);
        const long bare = PeakKilobytes();
        dialog->OnSearch();
        Pump(wait_ms);
        const std::string count = dialog->ControlText(searchui::IDC_DEVICE_COUNT);
        std::printf("window: %s; peak %.1f MiB, %.1f MiB above the bare window (%.1f MiB)\n", count.c_str(),
                    PeakKilobytes() / 1024.0, (PeakKilobytes() - bare) / 1024.0, bare / 1024.0);
        frame->Destroy();
        return 0;
    }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) { return wxEntry(argc, argv); }
