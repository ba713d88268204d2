// The up-down control of the design: two stacked arrow buttons at the right
// edge of a buddy edit, as tall as the edit. A press on an arrow reports one
// step at once and more while it is held, as wxEVT_SPIN_UP / wxEVT_SPIN_DOWN
// with the control's id; the owner changes the buddy's text. The control keeps
// no position of its own.
#pragma once

#include "platform/winclass.h"

#include <wx/control.h>
#include <wx/timer.h>

class CUpDownCtrl : public wxControl, public platform::WindowClassNamed {
public:
    // Delay before a held arrow repeats, and the period of the repeats.
    static constexpr int kRepeatDelayMs = 400;
    static constexpr int kRepeatPeriodMs = 80;

    CUpDownCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

    // Moves the control to the right edge of `buddy`, which gives up the
    // control's width, and makes it the buddy's height.
    void AttachToBuddy(wxWindow* buddy);
    wxWindow* GetBuddy() const { return m_buddy; }

    // The arrow held down: +1 up, -1 down, 0 none.
    int Pressed() const { return m_pressed; }

    const char* WindowClassName() const override { return "msctls_updown32"; }
    bool Enable(bool enable = true) override;
    bool AcceptsFocus() const override { return false; }

protected:
    wxSize DoGetBestSize() const override;

private:
    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnRepeat(wxTimerEvent& event);
    // +1 for a point on the upper arrow, -1 on the lower one.
    int ArrowAt(const wxPoint& point) const;
    void Release();
    void Step(int delta);

    wxWindow* m_buddy = nullptr;
    int m_pressed = 0;
    wxTimer m_repeat;
};
