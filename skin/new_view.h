// CNewView: base of the skinned views, the child-window counterpart of
// CNewDialog: same background, 45 button slots, hover, tip and click
// dispatch, with these differences: bitmap 15002 as background, no Escape
// filter and no dragging, a tip timer (8, 2 s) that hides the tip once the
// pointer is 20 pixels away from it, and OnOK/OnCancel that only clean up.
// Create() calls InitUI() once the window exists; derived views build their
// buttons there and supply OnDraw.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <wx/window.h>

#include "skin/lumora_export.h"
#include "skin/skin_pixels.h"

class CButtonRect;
class CMytipDlg;
class wxAppConsole;
class wxDC;
namespace lumora {
class Background;
}

class LUMORA_API CNewView : public wxWindow {
 public:
  static constexpr int kButtonSlots = 45;
  // Code-page bytes the tip text keeps, without its terminating zero.
  static constexpr std::size_t kTipTextLimit = 499;

  CNewView();
  ~CNewView() override;

  // Creates the window, then OnCreate(); false when the window cannot be made.
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
              const wxSize& size = wxDefaultSize, long style = 0);
  // Runs after the window exists: InitUI(), then 0.
  int OnCreate();

  void OnPaint();
  void OnMouseMove(unsigned flags, wxPoint point);
  void OnLButtonDown(unsigned flags, wxPoint point);

  // The view's own drawing; not called by the skinned paint.
  virtual void OnDraw(wxDC* dc) = 0;
  virtual void InitUI();
  virtual void DoMsgId(unsigned id);
  // Delete every button and the tip window.
  virtual void OnCancel();
  virtual void OnOK();

  void SetTipText(const char* text);
  void ShowDlgExeICON(wxWindow* window, int flag);
  long OnShowIconCallBack(unsigned long wParam, long lParam);

  void PaintSkin(wxDC& dc);

 protected:
  void RouteSkinEvents();

  CButtonRect* m_pButtonRect[kButtonSlots] = {};
  CButtonRect* m_pCurButton = nullptr;
  int m_bTitleFrame = 0;
  unsigned m_nBkBitmapId = 15002;
  std::string m_strBkFile;
  CMytipDlg* m_pTipDlg = nullptr;
  char m_szTipText[lumora::Utf8Capacity(kTipTextLimit)] = {};
  wxAppConsole* m_pApp;

 private:
  void DrawTipText(wxDC& dc);
  void CleanUp();

  std::uint64_t m_nCurSerial = 0;
  std::unique_ptr<lumora::Background> m_background;
};
