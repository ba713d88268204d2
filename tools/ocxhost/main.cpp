// ocxhost: hosts a registered control in a window of its own.
//
//   ocxhost PROGID|{CLSID} [--call METHOD=ARG]... [--size WxH]
//           [--search] [--list-after MS]
//
// The control is found through the registry store (ProgID -> CLSID ->
// InprocServer32), created with its module's class object and placed in a
// resizable window; it follows the window's size. Each --call invokes a
// dispatch method by name with one string argument, in the order given
// (`--call SetLang=lang_en.ini`). --search presses the hosted search dialog's
// search button once the window is up; --list-after prints the dialog's list
// of cameras after MS milliseconds (one line a camera: number, name, address,
// tab-separated) and closes the window.
//
// Exit status: 0 success, 1 bad arguments, 2 the control is not registered,
// 3 its module does not load or makes no control, 4 a method call failed.
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/timer.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/olecontainer.h"

namespace {

enum ExitStatus { kSuccess = 0, kBadArguments = 1, kNotRegistered = 2, kNoControl = 3, kCallFailed = 4 };

// The search button of the hosted dialog.
constexpr int kSearchButtonId = 204;

struct Options {
    std::string control;
    std::vector<std::pair<std::string, std::string>> calls;
    wxSize size = wxDefaultSize;
    bool search = false;
    int list_after_ms = -1;
};

void Usage() {
    std::fprintf(stderr,
                 "Usage: ocxhost PROGID|{CLSID} [--call METHOD=ARG]... [--size WxH] [--search] [--list-after MS]\n"
                 "  --call METHOD=ARG  invoke a method of the control with one string argument\n"
                 "  --size WxH         the window's client size in pixels\n"
                 "  --search           press the search button of the hosted dialog\n"
                 "  --list-after MS    print the hosted dialog's camera list after MS ms and quit\n");
}

bool ParseNumber(const std::string& text, int* value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *value = std::atoi(text.c_str());
    return true;
}

bool Parse(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--call" && has_value) {
            const std::string call = argv[++i];
            const auto equals = call.find('=');
            if (equals == std::string::npos || equals == 0) {
                std::fprintf(stderr, "ocxhost: --call wants METHOD=ARG, not \"%s\"\n", call.c_str());
                return false;
            }
            options->calls.emplace_back(call.substr(0, equals), call.substr(equals + 1));
        } else if (arg == "--size" && has_value) {
            const std::string size = argv[++i];
            const auto x = size.find('x');
            int w = 0, h = 0;
            if (x == std::string::npos || !ParseNumber(size.substr(0, x), &w) || !ParseNumber(size.substr(x + 1), &h) ||
                w <= 0 || h <= 0) {
                std::fprintf(stderr, "ocxhost: --size wants WxH, not \"%s\"\n", size.c_str());
                return false;
            }
            options->size = wxSize(w, h);
        } else if (arg == "--search") {
            options->search = true;
        } else if (arg == "--list-after" && has_value) {
            if (!ParseNumber(argv[++i], &options->list_after_ms)) {
                std::fprintf(stderr, "ocxhost: --list-after wants milliseconds\n");
                return false;
            }
        } else if (arg.compare(0, 1, "-") == 0 || !options->control.empty()) {
            std::fprintf(stderr, "ocxhost: unexpected argument \"%s\"\n", arg.c_str());
            return false;
        } else {
            options->control = arg;
        }
    }
    return !options->control.empty();
}

Options g_options;
int g_exit = kSuccess;

class HostFrame : public wxFrame {
public:
    HostFrame() : wxFrame(nullptr, wxID_ANY, "ocxhost - " + wxString::FromUTF8(g_options.control)) {
        m_site = new platform::COleControlSite(this);
        m_listTimer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { PrintListAndClose(); });
    }

    platform::COleControlSite* Site() const { return m_site; }

    // The window's size: as asked, else what the hosted window needs.
    void FitToControl() {
        wxSize size = g_options.size;
        if (size == wxDefaultSize) {
            size = wxSize(800, 600);
            if (wxWindow* control = m_site->GetControlWindow())
                for (wxWindow* child : control->GetChildren())
                    if (child->GetMinSize().IsFullySpecified()) size = child->GetMinSize();
        }
        SetClientSize(size);
    }

    void StartAutomation() {
        if (g_options.search) {
            if (wxWindow* button = FindInControl(kSearchButtonId)) {
                wxCommandEvent press(wxEVT_BUTTON, kSearchButtonId);
                press.SetEventObject(button);
                button->ProcessWindowEvent(press);
            } else {
                std::fprintf(stderr, "ocxhost: the control shows no search button\n");
            }
        }
        if (g_options.list_after_ms >= 0) m_listTimer.StartOnce(g_options.list_after_ms);
    }

private:
    wxWindow* FindInControl(int id) const {
        wxWindow* control = m_site->GetControlWindow();
        return control ? control->FindWindow(id) : nullptr;
    }

    void PrintListAndClose() {
        wxListCtrl* list = nullptr;
        if (wxWindow* control = m_site->GetControlWindow()) {
            for (wxWindow* dialog : control->GetChildren())
                for (wxWindow* child : dialog->GetChildren())
                    if (!list) list = dynamic_cast<wxListCtrl*>(child);
        }
        if (list) {
            for (long row = 0; row < list->GetItemCount(); ++row) {
                std::string line;
                for (int column = 0; column < list->GetColumnCount(); ++column) {
                    if (column) line += '\t';
                    line += list->GetItemText(row, column).utf8_str();
                }
                std::printf("%s\n", line.c_str());
            }
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "ocxhost: the control shows no list\n");
        }
        Close(true);
    }

    platform::COleControlSite* m_site;
    wxTimer m_listTimer;
};

class OcxHostApp : public wxApp {
public:
    bool OnInit() override {
        auto* frame = new HostFrame;
        std::string error;
        if (!frame->Site()->CreateControl(g_options.control, &error)) {
            std::fprintf(stderr, "ocxhost: %s\n", error.c_str());
            g_exit = kNoControl;
            frame->Destroy();
            return false;
        }
        for (const auto& [method, arg] : g_options.calls) {
            if (!frame->Site()->CallMethod(method, {arg}, &error)) {
                std::fprintf(stderr, "ocxhost: %s\n", error.c_str());
                g_exit = kCallFailed;
                frame->Destroy();
                return false;
            }
        }
        frame->FitToControl();
        frame->Show();
        frame->StartAutomation();
        return true;
    }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(OcxHostApp);

int main(int argc, char** argv) {
    if (!Parse(argc, argv, &g_options)) {
        Usage();
        return kBadArguments;
    }
    // Whether the control is registered is known before any window.
    platform::ControlLocation location;
    std::string error;
    if (platform::FAILED(platform::FindControlClass(g_options.control, &location, &error))) {
        std::fprintf(stderr, "ocxhost: %s\n", error.c_str());
        return kNotRegistered;
    }
    const int status = wxEntry(argc, argv);
    if (g_exit != kSuccess) return g_exit;
    return status == 0 ? kSuccess : kNoControl;
}
