// A wxWidgets application for window tests: started before the first test,
// cleaned up after the last. Include once per test program.
#pragma once

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

#include <chrono>
#include <functional>
#include <thread>

class WxEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        int argc = 1;
        wxApp::SetInstance(new wxApp);
        ASSERT_TRUE(wxEntryStart(argc, argv)) << "no display (run under Xvfb)";
        ASSERT_TRUE(wxTheApp->CallOnInit());
    }
    void TearDown() override {
        wxTheApp->OnExit();
        wxEntryCleanup();
    }
};

inline ::testing::Environment* const g_wx_environment =
    ::testing::AddGlobalTestEnvironment(new WxEnvironment);

// Runs queued events (CallAfter, pending events) until `done` or the deadline.
inline bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        wxTheApp->ProcessPendingEvents();
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
