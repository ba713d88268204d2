#include "searchui/updownctrl.h"

#include <wx/dcbuffer.h>
#include <wx/settings.h>
#include <wx/spinbutt.h>

#include <algorithm>

CUpDownCtrl::CUpDownCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE), m_repeat(this) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CUpDownCtrl::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CUpDownCtrl::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CUpDownCtrl::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CUpDownCtrl::OnLeftUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CUpDownCtrl::OnCaptureLost, this);
    Bind(wxEVT_TIMER, &CUpDownCtrl::OnRepeat, this);
}

wxSize CUpDownCtrl::DoGetBestSize() const {
    return wxSize(std::max(11, wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this)), 22);
}

void CUpDownCtrl::AttachToBuddy(wxWindow* buddy) {
    m_buddy = buddy;
    if (!buddy) return;
    const wxRect edit = buddy->GetRect();
    const int width = std::min(GetSize().x, edit.width / 2);
    buddy->SetSize(edit.x, edit.y, edit.width - width, edit.height);
    SetSize(edit.x + edit.width - width, edit.y, width, edit.height);
}

bool CUpDownCtrl::Enable(bool enable) {
    if (!enable) Release();
    const bool changed = wxControl::Enable(enable);
    Refresh();
    return changed;
}

int CUpDownCtrl::ArrowAt(const wxPoint& point) const {
    return point.y < GetClientSize().y / 2 ? 1 : -1;
}

void CUpDownCtrl::Step(int delta) {
    wxSpinEvent event(delta > 0 ? wxEVT_SPIN_UP : wxEVT_SPIN_DOWN, GetId());
    event.SetEventObject(this);
    ProcessWindowEvent(event);
}

void CUpDownCtrl::OnLeftDown(wxMouseEvent& event) {
    if (!IsEnabled()) return;
    m_pressed = ArrowAt(event.GetPosition());
    if (!HasCapture()) CaptureMouse();
    Refresh();
    m_repeat.StartOnce(kRepeatDelayMs);
    Step(m_pressed);
}

void CUpDownCtrl::OnLeftUp(wxMouseEvent&) { Release(); }

void CUpDownCtrl::OnCaptureLost(wxMouseCaptureLostEvent&) {
    m_repeat.Stop();
    m_pressed = 0;
    Refresh();
}

void CUpDownCtrl::Release() {
    m_repeat.Stop();
    if (HasCapture()) ReleaseMouse();
    if (m_pressed != 0) {
        m_pressed = 0;
        Refresh();
    }
}

void CUpDownCtrl::OnRepeat(wxTimerEvent&) {
    if (m_pressed == 0) return;
    // A held arrow repeats only while the pointer stays on it.
    const wxPoint pointer = ScreenToClient(wxGetMousePosition());
    if (GetClientRect().Contains(pointer) && ArrowAt(pointer) == m_pressed) Step(m_pressed);
    m_repeat.Start(kRepeatPeriodMs, wxTIMER_ONE_SHOT);
}

void CUpDownCtrl::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    const wxColour shadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    const wxColour arrow = IsEnabled() ? wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT)
                                       : wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
    const int half = size.y / 2;
    for (int part : {1, -1}) {
        const wxRect box = part > 0 ? wxRect(0, 0, size.x, half) : wxRect(0, half, size.x, size.y - half);
        dc.SetPen(wxPen(shadow));
        dc.SetBrush(wxBrush(m_pressed == part ? shadow : face));
        dc.DrawRectangle(box);
        // A triangle as wide as the box allows, its height half its width.
        const int width = std::max(3, std::min(box.width - 6, 2 * (box.height - 4)) | 1);
        const int height = (width + 1) / 2;
        const int left = box.x + (box.width - width) / 2;
        const int top = box.y + (box.height - height) / 2;
        const wxPoint up[] = {{left, top + height - 1}, {left + width - 1, top + height - 1}, {left + width / 2, top}};
        const wxPoint down[] = {{left, top}, {left + width - 1, top}, {left + width / 2, top + height - 1}};
        dc.SetPen(wxPen(arrow));
        dc.SetBrush(wxBrush(arrow));
        dc.DrawPolygon(3, part > 0 ? up : down);
    }
}
