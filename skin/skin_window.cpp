#include "skin/skin_window.h"

#include <unistd.h>

#include <wx/dc.h>
#include <wx/utils.h>
#include <wx/window.h>

#include "skin/button_rect.h"
#include "skin/skin_draw.h"
#include "skin/tip_dlg.h"

namespace lumora {

namespace {
constexpr GdiFont kTipFont{15, 0, 400};
constexpr int kTipOffset = 32;
constexpr int kTipHeight = 20;
constexpr unsigned kTipTimerMs = 2000;
}  // namespace

std::string BackgroundFileIfPresent() {
  std::string path = GetModuleDir() + "bk.bmp";
  return access(path.c_str(), F_OK) == 0 ? path : std::string();
}

void PaintSkinWindow(wxWindow& window, wxDC& dc, Background& background, const std::string& bkFile,
                     unsigned bitmapId, bool frame, CButtonRect* const* slots, int count,
                     const char* tipText, int tipInset) {
  const wxSize size = window.GetSize();
  bool painted = false;
  if (!bkFile.empty())
    painted = background.PaintFile(dc, bkFile, size.x, size.y, frame);
  else if (bitmapId != 0)
    painted = background.PaintBitmap(dc, bitmapId, size.x, size.y, frame);
  if (!painted) {
    // Nothing painted: the window's own colour shows, as it would on Windows
    // (a paint-style background is not erased for us on GTK).
    dc.SetBackground(wxBrush(window.GetBackgroundColour()));
    dc.Clear();
  }
  RefreshButtons(slots, count, dc);
  if (tipText && *tipText) {
    const SkinRect rect{0, 0, size.x - tipInset, size.y};
    DrawCentredText(dc, tipText, rect, FontFromGdi(kTipFont), 0);
  }
}

CButtonRect* StillCurrent(CButtonRect* const* slots, int count, CButtonRect* current,
                          std::uint64_t serial) {
  if (!current) return nullptr;
  // Compare addresses only among live slot pointers, never dereferencing
  // `current` itself: it may have been deleted by the derived class.
  for (int i = 0; i < count; ++i)
    if (slots[i] == current) return slots[i]->GetSerial() == serial ? slots[i] : nullptr;
  return nullptr;
}

void UpdateTip(CMytipDlg*& tip, CButtonRect* current, bool withTimer) {
  if (!current) {
    if (tip) tip->Hide();
    return;
  }
  const char* text = current->GetWndText();
  if (!text || !*text) return;
  if (!tip) {
    tip = new CMytipDlg(nullptr);
    if (!tip->Create()) {
      delete tip;
      tip = nullptr;
      return;
    }
  }
  const wxPoint cursor = wxGetMousePosition();
  tip->SetSize(cursor.x - kTipOffset, cursor.y - kTipOffset, TipWidth(text), kTipHeight);
  tip->Refresh();
  tip->SetTipText(text);
  if (withTimer) tip->SetTimer(CMytipDlg::kHideTimerId, kTipTimerMs);
  // A tip must not take the focus from the window under the pointer.
  if (!tip->IsShown()) tip->ShowWithoutActivating();
}

void CleanUpSkin(CButtonRect** slots, int count, CButtonRect*& current, CMytipDlg*& tip) {
  DeleteButtons(slots, count);
  current = nullptr;
  if (tip) {
    delete tip;
    tip = nullptr;
  }
}

}  // namespace lumora
