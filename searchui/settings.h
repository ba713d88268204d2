// The window's side of editing a camera's settings: the language-file keys of
// the refused values, and the restart wait. The rules themselves are shared
// with `keplin` (rules/update.h).
#pragma once

#include "rules/update.h"

namespace searchui {

// The language-file key of the message for a refused address, or null.
const char* AddressProblemKey(rules::AddressFault fault);

// The wait while an updated camera restarts: 45 ticks of one second, shown on
// a progress bar from 1 to 47 stepped once per tick.
class RestartWait {
public:
    static constexpr int kTicks = 45;
    static constexpr int kTimerId = 51;
    static constexpr int kPeriodMs = 1000;
    static constexpr int kRangeLow = 1;
    static constexpr int kRangeHigh = 47;

    void Begin() { m_ticks = 0; m_active = true; }
    // One tick; true when this tick ends the wait.
    bool Tick();
    bool Active() const { return m_active; }
    int Ticks() const { return m_ticks; }
    int Position() const { return kRangeLow + m_ticks; }

private:
    int m_ticks = 0;
    bool m_active = false;
};

}  // namespace searchui
