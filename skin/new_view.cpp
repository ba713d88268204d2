#include "skin/new_view.h"

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/toplevel.h>

#include "skin/button_rect.h"
#include "skin/skin_draw.h"
#include "skin/skin_window.h"
#include "skin/tip_dlg.h"

namespace {
constexpr int kTipInset = 5;
constexpr long kLeftDoubleClick = 0x203;
}  // namespace

CNewView::CNewView()
    : m_strBkFile(lumora::BackgroundFileIfPresent()),
      m_pApp(wxTheApp),
      m_background(std::make_unique<lumora::Background>()) {}

CNewView::~CNewView() { CleanUp(); }

bool CNewView::Create(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style) {
  if (!wxWindow::Create(parent, id, pos, size, style)) return false;
  return OnCreate() == 0;
}

int CNewView::OnCreate() {
  InitUI();
  return 0;
}

void CNewView::RouteSkinEvents() {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnPaint(); });
  Bind(wxEVT_MOTION, [this](wxMouseEvent& event) {
    OnMouseMove(0, event.GetPosition());
    event.Skip();
  });
  Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { OnLButtonDown(0, event.GetPosition()); });
}

void CNewView::OnPaint() {
  wxPaintDC dc(this);
  PaintSkin(dc);
}

void CNewView::PaintSkin(wxDC& dc) {
  lumora::PaintSkinWindow(*this, dc, *m_background, m_strBkFile, m_nBkBitmapId, m_bTitleFrame != 0,
                          m_pButtonRect, kButtonSlots, m_szTipText, kTipInset);
}

void CNewView::OnMouseMove(unsigned /*flags*/, wxPoint point) {
  m_pCurButton = lumora::HitTestButtons(m_pButtonRect, kButtonSlots, point.x, point.y);
  m_nCurSerial = m_pCurButton ? m_pCurButton->GetSerial() : 0;
  lumora::UpdateTip(m_pTipDlg, m_pCurButton, true);
}

void CNewView::OnLButtonDown(unsigned /*flags*/, wxPoint point) {
  m_pCurButton = lumora::StillCurrent(m_pButtonRect, kButtonSlots, m_pCurButton, m_nCurSerial);
  if (!m_pCurButton) {
    m_pCurButton = lumora::HitTestButtons(m_pButtonRect, kButtonSlots, point.x, point.y);
    m_nCurSerial = m_pCurButton ? m_pCurButton->GetSerial() : 0;
  }
  if (m_pCurButton && m_pCurButton->PtInRect(point) && m_pCurButton->IsFoucus())
    DoMsgId(m_pCurButton->GetClickId());
}

void CNewView::InitUI() {}

void CNewView::DoMsgId(unsigned /*id*/) {}

void CNewView::CleanUp() { lumora::CleanUpSkin(m_pButtonRect, kButtonSlots, m_pCurButton, m_pTipDlg); }

void CNewView::OnCancel() { CleanUp(); }

void CNewView::OnOK() { CleanUp(); }

void CNewView::SetTipText(const char* text) {
  lumora::CopyCodePageBounded(m_szTipText, sizeof m_szTipText, text, kTipTextLimit);
  if (GetHandle()) Refresh();
}

void CNewView::ShowDlgExeICON(wxWindow* /*window*/, int /*flag*/) {
  if (!m_pApp) m_pApp = wxTheApp;
}

long CNewView::OnShowIconCallBack(unsigned long /*wParam*/, long lParam) {
  if (lParam == kLeftDoubleClick) Show();
  return 0;
}
