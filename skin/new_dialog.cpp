#include "skin/new_dialog.h"

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/utils.h>

#include "skin/button_rect.h"
#include "skin/skin_draw.h"
#include "skin/skin_window.h"
#include "skin/tip_dlg.h"

namespace {
constexpr int kTipInset = 10;
constexpr long kLeftDoubleClick = 0x203;
}  // namespace

CNewDialog::CNewDialog() : m_nBkBitmapId(15001) { Init(); }

CNewDialog::CNewDialog(unsigned templateId, wxWindow* /*parent*/)
    : m_nBkBitmapId(15002), m_nTemplateId(templateId) {
  Init();
}

void CNewDialog::Init() {
  m_strBkFile = lumora::BackgroundFileIfPresent();
  m_pApp = wxTheApp;
  m_background = std::make_unique<lumora::Background>();

  // The framework's message filter, the OK/Cancel commands and closing the
  // window reach the virtual handlers, as they do on Windows.
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    if (!PreTranslateMessage(event)) event.Skip();
  });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOK(); }, wxID_OK);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, wxID_CANCEL);
  // Closing the window is the cancel command, modal or modeless: the buttons
  // and the tip go, then the dialog ends (a modeless one is hidden).
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { OnCancel(); });
  Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& event) {
    EndDrag();
    event.Skip();
  });
  Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_bDragging = false; });
}

CNewDialog::~CNewDialog() {
  EndDrag();
  CleanUp();
}

void CNewDialog::RouteSkinEvents() {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnPaint(); });
  Bind(wxEVT_MOTION, [this](wxMouseEvent& event) {
    OnMouseMove(0, event.GetPosition());
    event.Skip();
  });
  Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { OnLButtonDown(0, event.GetPosition()); });
}

void CNewDialog::OnPaint() {
  wxPaintDC dc(this);
  PaintSkin(dc);
}

void CNewDialog::PaintSkin(wxDC& dc) {
  lumora::PaintSkinWindow(*this, dc, *m_background, m_strBkFile, m_nBkBitmapId, m_bTitleFrame != 0,
                          m_pButtonRect, kButtonSlots, m_szTipText, kTipInset);
}

void CNewDialog::OnMouseMove(unsigned /*flags*/, wxPoint point) {
  if (m_bDragging) {
    // The window follows the pointer, as the system's move loop does on Windows,
    // until the button comes up, also where this window did not see it.
    if (wxGetMouseState().LeftIsDown()) {
      Move(ClientToScreen(point) - m_dragGrab);
      return;
    }
    EndDrag();
  }
  m_pCurButton = lumora::HitTestButtons(m_pButtonRect, kButtonSlots, point.x, point.y);
  m_nCurSerial = m_pCurButton ? m_pCurButton->GetSerial() : 0;
  lumora::UpdateTip(m_pTipDlg, m_pCurButton, false);
}

void CNewDialog::OnLButtonDown(unsigned /*flags*/, wxPoint point) {
  m_pCurButton = lumora::StillCurrent(m_pButtonRect, kButtonSlots, m_pCurButton, m_nCurSerial);
  if (!m_pCurButton) {
    m_pCurButton = lumora::HitTestButtons(m_pButtonRect, kButtonSlots, point.x, point.y);
    m_nCurSerial = m_pCurButton ? m_pCurButton->GetSerial() : 0;
  }
  // On Windows the drag was posted and so began after the dispatch below, and
  // only while the button was still down: a DoMsgId that ran a message box
  // has seen it come up already.
  const bool drag = m_bTitleFrame != 0;
  if (m_pCurButton && m_pCurButton->PtInRect(point) && m_pCurButton->IsFoucus())
    DoMsgId(m_pCurButton->GetClickId());
  if (drag && IsShown() && !HasCapture() && wxGetMouseState().LeftIsDown()) {
    m_dragGrab = ClientToScreen(point) - GetPosition();
    m_bDragging = true;
    CaptureMouse();
  }
}

void CNewDialog::EndDrag() {
  if (!m_bDragging) return;
  m_bDragging = false;
  if (HasCapture()) ReleaseMouse();
}

void CNewDialog::DoMsgId(unsigned /*id*/) {}

bool CNewDialog::PreTranslateMessage(const wxKeyEvent& event) { return event.GetKeyCode() == WXK_ESCAPE; }

void CNewDialog::CleanUp() { lumora::CleanUpSkin(m_pButtonRect, kButtonSlots, m_pCurButton, m_pTipDlg); }

void CNewDialog::OnOK() {
  CleanUp();
  EndDrag();
  EndDialog(wxID_OK);
}

void CNewDialog::OnCancel() {
  CleanUp();
  EndDrag();
  EndDialog(wxID_CANCEL);
}

void CNewDialog::SetTipText(const char* text) {
  lumora::CopyCodePageBounded(m_szTipText, sizeof m_szTipText, text, kTipTextLimit);
  if (GetHandle()) Refresh();
}

void CNewDialog::ShowDlgExeICON(wxWindow* /*window*/, int /*flag*/) {
  if (!m_pApp) m_pApp = wxTheApp;
}

long CNewDialog::OnShowIconCallBack(unsigned long /*wParam*/, long lParam) {
  if (lParam == kLeftDoubleClick) {
    if (IsIconized()) Iconize(false);
    Show();
  }
  return 0;
}
