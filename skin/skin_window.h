// What the skinned dialog and the skinned view share (internal).
#pragma once

#include <cstdint>
#include <string>

class CButtonRect;
class CMytipDlg;
class wxDC;
class wxWindow;

namespace lumora {

class Background;

// "<program directory>bk.bmp" when that file exists now, else "".
std::string BackgroundFileIfPresent();

// The skinned paint: background (file, else bitmap `bitmapId`, else the
// window's background colour), the buttons in slot order, then `tipText`
// centred at the top of (0, 0, window width - tipInset, window height).
void PaintSkinWindow(wxWindow& window, wxDC& dc, Background& background, const std::string& bkFile,
                     unsigned bitmapId, bool frame, CButtonRect* const* slots, int count,
                     const char* tipText, int tipInset);

// `current` when it is still held in a slot and is the same button that was
// found (same serial), else null.
CButtonRect* StillCurrent(CButtonRect* const* slots, int count, CButtonRect* current,
                          std::uint64_t serial);

// Hover over `current` (may be null): shows its tip text at the pointer,
// creating the tip window on first use, or hides the tip when no button is
// current. `withTimer` starts the tip's hide timer (the view's behaviour).
void UpdateTip(CMytipDlg*& tip, CButtonRect* current, bool withTimer);

// Deletes the buttons, forgets the current one and deletes the tip window.
void CleanUpSkin(CButtonRect** slots, int count, CButtonRect*& current, CMytipDlg*& tip);

}  // namespace lumora
