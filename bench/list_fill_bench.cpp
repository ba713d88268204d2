// How long the search window takes to show a long list: the cameras of one
// search are handed to the dialog as the engine would, then the list timer
// fires and the window repaints. Needs a display (bench/run.sh gives it a
// virtual one in an empty network namespace); sends nothing.
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/listctrl.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "searchui/backend.h"
#include "searchui/searchdlg.h"

namespace {

// The engine's part as far as a search goes: the handlers are kept, nothing is
// sent.
class BenchBackend : public searchui::ISearchBackend {
public:
    static inline DeviceHandler device_handler = nullptr;
    static inline void* device_data = nullptr;

    std::vector<AdapterInfo> LoadAdapters() override { return {}; }
    std::string ListAdapterAddresses(int* count) override {
        *count = 0;
        return std::string();
    }
    int Start(DeviceHandler handler, ResultHandler, void* data, const char (*)[LOCAL_ADDRESS_ENTRY], int) override {
        device_handler = handler;
        device_data = data;
        return 0;
    }
    void Stop() override {}
    int Search(char) override { return 0; }
    int SetNetwork(const CommandAuth&, const DeviceRecord&) override { return 0; }
    int SetHttpPort(const CommandAuth&, const char*) override { return 0; }
    int SetBroadcastCallback(BroadcastCallback, void*) override { return 0; }
    int SetBroadcastDevice(const BroadcastRecord&, BroadcastResultFilter) override { return 0; }
};

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double FillMilliseconds(CSearchDlgBase* dialog, int cameras) {
    dialog->OnSearch();
    std::thread feeder([cameras] {
        for (int n = 0; n < cameras; ++n) {
            DeviceRecord record{};
            std::snprintf(record.mac, sizeof record.mac, "02:00:00:%02X:%02X:%02X", n >> 16 & 0xFF, n >> 8 & 0xFF,
                          n & 0xFF);
            std::snprintf(record.ip, sizeof record.ip, "10.%d.%d.%d", n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF);
            std::snprintf(record.device_name, sizeof record.device_name, "Camera %d", n + 1);
            std::snprintf(record.device_id, sizeof record.device_id, "BENCH%027d", n);
            BenchBackend::device_handler(nullptr, "200", &record, BenchBackend::device_data);
        }
    });
    feeder.join();
    const auto start = std::chrono::steady_clock::now();
    dialog->OnTimer(CSearchDlgBase::TIMER_LIST);
    dialog->GetParent()->Update();  // the repaint the user waits for
    wxYield();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

class BenchApp : public wxApp {
public:
    int OnRun() override {
        searchui::SetSearchBackendFactory([] { return std::make_unique<BenchBackend>(); });
        auto* frame = new wxFrame(nullptr, wxID_ANY, "list fill");
        auto* dialog = new CSearchEnDlg();
        dialog->Create(frame, 12001);
        frame->SetClientSize(dialog->GetMinSize());
        frame->Show();
        for (int i = 0; i < 20; ++i) wxYield();
        const long bare = PeakKilobytes();
        for (int cameras : {500, 5000, 65536}) {
            const double ms = FillMilliseconds(dialog, cameras);
            std::printf("%6d cameras: list filled and painted in %7.1f ms; peak memory %.1f MiB above the bare window\n",
                        cameras, ms, (PeakKilobytes() - bare) / 1024.0);
        }
        frame->Destroy();
        return 0;
    }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) { return wxEntry(argc, argv); }
