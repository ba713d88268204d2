#include "skin/tip_dlg.h"

#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/utils.h>

wxIMPLEMENT_CLASS(CMytipDlg, wxDialog);

namespace {
// Template 15000: a popup with a modal frame, no caption and no controls,
// 187 x 94 dialog units in the 10-point system font.
constexpr int kTemplateWidthDu = 187;
constexpr int kTemplateHeightDu = 94;
constexpr int kHideMargin = 20;
}  // namespace

CMytipDlg::CMytipDlg(wxWindow* parent) : CNewDialog(kTemplateId, parent), m_timer(this, kHideTimerId) {}

CMytipDlg::~CMytipDlg() { m_timer.Stop(); }

bool CMytipDlg::Create() {
  // An ordinary window of this program: it does not stay above other programs.
  const long style = wxBORDER_NONE | wxFRAME_TOOL_WINDOW | wxFRAME_NO_TASKBAR | wxDIALOG_NO_PARENT;
  if (!wxDialog::Create(nullptr, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize, style))
    return false;
  SetFont(wxFontInfo(10).Family(wxFONTFAMILY_SWISS).FaceName("System"));
  SetSize(ConvertDialogToPixels(wxSize(kTemplateWidthDu, kTemplateHeightDu)));
  // The tip's message map: paint, mouse moves and clicks go to the skinned
  // dialog's handlers (paint with the frame added), the timer to OnTimer.
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CMytipDlg::OnTipPaint, this);
  Bind(wxEVT_MOTION, [this](wxMouseEvent& event) {
    OnMouseMove(0, event.GetPosition());
    event.Skip();
  });
  Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { OnLButtonDown(0, event.GetPosition()); });
  Bind(wxEVT_TIMER, &CMytipDlg::OnTimer, this, kHideTimerId);
  return true;
}

void CMytipDlg::OnTipPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  PaintSkin(dc);
  // The modal frame of the template: GTK draws no frame around an undecorated
  // window, so the tip outlines itself.
  const wxSize size = GetClientSize();
  dc.SetPen(wxPen(wxColour(118, 118, 118)));
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  dc.DrawRectangle(0, 0, size.x, size.y);
}

void CMytipDlg::SetTimer(unsigned id, unsigned milliseconds) {
  if (id == kHideTimerId) m_timer.Start(static_cast<int>(milliseconds));
}

void CMytipDlg::KillTimer(unsigned id) {
  if (id == kHideTimerId) m_timer.Stop();
}

void CMytipDlg::OnTimer(wxTimerEvent&) {
  const wxRect area = GetScreenRect().Inflate(kHideMargin);
  if (area.Contains(wxGetMousePosition())) return;
  Hide();
  KillTimer(kHideTimerId);
}
