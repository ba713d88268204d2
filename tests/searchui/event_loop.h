// A real event loop for window tests whose timers must fire as they fall due.
#pragma once

#include <wx/evtloop.h>
#include <wx/timer.h>

#include <chrono>
#include <functional>

// Runs an event loop until `done` or the deadline; false on the deadline.
inline bool RunLoopUntil(const std::function<bool()>& done, int timeout_ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    wxGUIEventLoop loop;
    bool met = false;
    wxTimer check;
    check.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        met = done();
        if (met || std::chrono::steady_clock::now() > deadline) {
            check.Stop();
            loop.Exit();
        }
    });
    check.Start(2);
    loop.Run();
    return met;
}
