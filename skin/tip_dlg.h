// CMytipDlg: the small window that shows a button's tip text. A CNewDialog
// built from template 15000 (so it paints "bk.bmp" or bitmap 15002), shown
// without taking the focus. Its timer hides it once the pointer is more than
// 20 pixels away from it.
#pragma once

#include <wx/timer.h>

#include "skin/lumora_export.h"
#include "skin/new_dialog.h"

class LUMORA_API CMytipDlg : public CNewDialog {
 public:
  static constexpr unsigned kTemplateId = 15000;
  static constexpr unsigned kHideTimerId = 8;

  explicit CMytipDlg(wxWindow* parent = nullptr);
  ~CMytipDlg() override;

  // Creates the window from template 15000, with no parent window; false when
  // it cannot be created.
  bool Create();

  // Starts or stops the hide timer (only timer 8 exists).
  void SetTimer(unsigned id, unsigned milliseconds);
  void KillTimer(unsigned id);
  bool IsTimerRunning() const { return m_timer.IsRunning(); }
  // Hides the window and stops the timer when the pointer is outside the window
  // enlarged by 20 pixels on every side.
  void OnTimer(wxTimerEvent& event);

 private:
  void OnTipPaint(wxPaintEvent& event);

  wxTimer m_timer;

  wxDECLARE_CLASS(CMytipDlg);
};
