// CNewDialog: base of the skinned dialogs. Paints a tiled bitmap background
// ("bk.bmp" beside the program, else bitmap 15001 or 15002), owns up to 45
// image buttons that the derived class puts into m_pButtonRect, highlights
// the button under the mouse, shows its tip text in a tip window and hands a
// click on a highlighted button to DoMsgId with the button's click id.
//
// The derived class routes the window's events to the handlers: calling
// RouteSkinEvents() once sends paint, mouse moves and left clicks to OnPaint,
// OnMouseMove and OnLButtonDown (a derived class may bind its own handlers
// and call these instead). Escape never closes the dialog; OnOK and OnCancel
// delete the buttons and the tip window before ending the dialog.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <wx/dialog.h>

#include "skin/lumora_export.h"
#include "skin/skin_pixels.h"

class CButtonRect;
class CMytipDlg;
class wxAppConsole;
class wxDC;
namespace lumora {
class Background;
}

class LUMORA_API CNewDialog : public wxDialog {
 public:
  static constexpr int kButtonSlots = 45;
  // Code-page bytes the tip text keeps, without its terminating zero.
  static constexpr std::size_t kTipTextLimit = 499;

  // Without a template: background bitmap 15001.
  CNewDialog();
  // With dialog template `templateId` (kept for the derived class that creates
  // the window); background bitmap 15002. `parent` is not used.
  CNewDialog(unsigned templateId, wxWindow* parent);
  ~CNewDialog() override;

  // Handlers; the points are client coordinates, the flags are not used.
  // OnPaint must run inside a paint event.
  void OnPaint();
  void OnMouseMove(unsigned flags, wxPoint point);
  void OnLButtonDown(unsigned flags, wxPoint point);

  // Called with the click id of a clicked button (4294967291 for one that is
  // hidden or disabled); ids it does not know are ignored.
  virtual void DoMsgId(unsigned id);
  // Delete every button and the tip window, then end the dialog (the modal
  // loop with wxID_OK or wxID_CANCEL; a modeless dialog is hidden).
  virtual void OnOK();
  virtual void OnCancel();
  // Key filter ahead of the dialog's own handling: true (handled) for Escape.
  virtual bool PreTranslateMessage(const wxKeyEvent& event);

  // The text this window draws on itself (the tip window's text); cut to 499
  // code-page bytes.
  void SetTipText(const char* text);
  void ShowDlgExeICON(wxWindow* window, int flag);
  // Shows the window when `lParam` is a left double click (0x203); returns 0.
  long OnShowIconCallBack(unsigned long wParam, long lParam);

  // Draws everything OnPaint draws onto `dc`: background, buttons, tip text.
  void PaintSkin(wxDC& dc);
  unsigned GetTemplateId() const { return m_nTemplateId; }

 protected:
  // Binds paint, mouse moves and left-button presses to the handlers above.
  void RouteSkinEvents();

  CButtonRect* m_pButtonRect[kButtonSlots] = {};
  CButtonRect* m_pCurButton = nullptr;
  int m_bTitleFrame = 0;
  unsigned m_nBkBitmapId;
  std::string m_strBkFile;
  CMytipDlg* m_pTipDlg = nullptr;
  char m_szTipText[lumora::Utf8Capacity(kTipTextLimit)] = {};
  wxAppConsole* m_pApp;

 private:
  void Init();
  void DrawTipText(wxDC& dc);
  void CleanUp();
  void EndDrag();

  unsigned m_nTemplateId = 0;
  std::uint64_t m_nCurSerial = 0;  // serial of m_pCurButton when it was found
  std::unique_ptr<lumora::Background> m_background;
  bool m_bDragging = false;
  wxPoint m_dragGrab;  // pointer relative to the window's position when the drag began
};
