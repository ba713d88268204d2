// CButtonRect: a windowless image button drawn on its parent's client area.
//
// The parent owns the buttons, forwards mouse moves and clicks to them and
// calls ReflushDC with its paint device context after painting its
// background. Operations that change what a button shows (SetFocus,
// DrawNewText, SetWindowTextO, EnableButton, ShowEnable, DrawBkTips) keep the
// new state and invalidate the button's area on the parent; the parent's next
// paint draws it. Inside ReflushDC(dc) the same operations draw on `dc`.
//
// Texts are UTF-8. Lengths count like the system code page: one per ASCII
// character, two per other character. That count sizes things (the image-text
// size, the label width, the tip width) and bounds the texts: each keeps at
// most 255 such bytes (127 Chinese characters), cut at a character boundary.
// Use on the user-interface thread only.
#pragma once

#include <cstdint>
#include <memory>

#include <wx/weakref.h>
#include <wx/window.h>

#include "skin/lumora_export.h"
#include "skin/skin_pixels.h"

class wxDC;
class wxPoint;
class wxImage;

namespace lumora {
class SkinImage;
struct GdiFont {
  int height;
  int width;
  int weight;
};
}  // namespace lumora

class LUMORA_API CButtonRect {
 public:
  // Code-page bytes a text keeps, without its terminating zero.
  static constexpr std::size_t kTextLimit = 255;

  // `textColour` is a Windows colour reference: 0x00BBGGRR.
  CButtonRect(int left, int top, int right, int bottom, wxWindow* parent, unsigned clickId,
              unsigned long textColour);
  ~CButtonRect();
  CButtonRect(const CButtonRect&) = delete;
  CButtonRect& operator=(const CButtonRect&) = delete;
  // Deleting a button erases it: its area on the parent is invalidated.

  // Sets the image from bitmap resource `bitmapId` (looked up through the
  // process-wide resource chain, the program's resources first) or from
  // `bitmap`, and the image text. `effects` enables the colour key and the
  // highlight; `drawText` draws the text on the image, else it is the tip text.
  void DrawBkTips(unsigned bitmapId, const char* text, int effects, int drawText);
  void DrawBkTips(const wxImage& bitmap, const char* text, int effects, int drawText);

  // Stores the highlight state and redraws; 0 when the button is hidden.
  int SetFocus(int state);
  // The highlight state, or 0 when the button does not highlight (SetChangeBk(0)).
  int IsFoucus() const;
  // Draws the image text on the image when it is drawn text; always 0.
  int DrawWindText();
  // Caption: centred at the top of the button. 1 when shown, 0 when the text is
  // empty or there is no parent window. `keepFont` 0 selects the 15-pixel Arial.
  int DrawNewText(const char* text, int keepFont);
  // Label: right of the button; its area counts as the button's for hit tests.
  int SetWindowTextO(const char* text, int keepFont);
  // Redraws everything; with a device context, draws on it (the parent's paint),
  // without one, invalidates the button and its label on the parent.
  void ReflushDC(wxDC* dc);

  // 1 when `point` (parent client coordinates) lies on the label or the button.
  int PtInRect(const wxPoint& point) const;
  // The click id, or 4294967291 (-5) while hidden or disabled.
  unsigned GetClickId() const;
  // The tip text: empty when the image text is drawn on the image.
  const char* GetWndText() const;

  void EnableButton(bool enable);
  void ShowEnable(bool show);
  int IsEnableButton() const { return m_bEnable; }
  void SetChangeBk(int changeBk) { m_bChangeBk = changeBk; }
  void SetShowOut(int showOut) { m_bShowOut = showOut; }
  void EnableFont(int enable) { m_bFontEnabled = enable; }
  void SetFont(int pointSize) { m_nFontSize = pointSize; }
  void SetAlignment(int alignment) { m_nAlignment = lumora::ClampAlignment(alignment); }

  // Read access for owners and tests.
  const SkinRect& GetRect() const { return m_rcButton; }
  const SkinRect& GetLabelRect() const { return m_rcLabel; }
  int GetAlignment() const { return m_nAlignment; }
  bool IsShown() const { return m_bShow != 0; }
  // Unique for the life of the process: tells a new button from a deleted one
  // that happened to have the same address.
  std::uint64_t GetSerial() const { return m_nSerial; }

 private:
  void DrawPicture(lumora::SkinImage* image);
  void DrawImageText(const char* text, int pointSize, int alignment, const SkinRect& layout,
                     unsigned long colour);
  void DrawGdiText(const char* text, const SkinRect& rect);
  void Invalidate(const SkinRect& rect);
  // What the next paint may draw or the last one drew of the image and its
  // text (the text's layout reaches below the button).
  SkinRect ImageArea() const;
  SkinRect ImageTextLayout(int pointSize) const;
  bool HasParentWindow() const;

  SkinRect m_rcButton;
  int m_nFontSize = 8;
  int m_nAlignment = 1;
  int m_bFontEnabled = 0;
  wxWeakRef<wxWindow> m_pParent;  // null once the parent window is gone
  std::unique_ptr<lumora::SkinImage> m_pImgNormal;
  std::unique_ptr<lumora::SkinImage> m_pImgHover;
  std::unique_ptr<lumora::SkinImage> m_pImgDisabled;
  lumora::SkinImage* m_pImgIdle = nullptr;
  int m_nFocus = 0;
  SkinRect m_rcLabel;
  SkinRect m_rcCaption;
  unsigned long m_crText;
  lumora::GdiFont m_hFont{18, 8, 200};
  wchar_t m_wszText[256] = {};
  char m_szText[lumora::Utf8Capacity(kTextLimit)] = {};
  int m_bHoverReady = 0;
  int m_bDisabledReady = 0;
  char m_szLabel[lumora::Utf8Capacity(kTextLimit)] = {};
  char m_szCaption[lumora::Utf8Capacity(kTextLimit)] = {};
  int m_nTextLen = 0;
  unsigned m_nClickId;
  int m_bEffects = 0;
  int m_bDrawText = 0;
  int m_bChangeBk = 1;
  int m_bShowOut = 1;
  int m_bEnable = 1;
  int m_bShow = 1;

  SkinRect m_rcTextDrawn;      // layout of the image text at its last drawing
  wxDC* m_pPaintDC = nullptr;  // set while ReflushDC draws on the parent's paint DC
  std::uint64_t m_nSerial;
};

namespace lumora {

// Hover test over button slots: every button containing (x, y) is
// highlighted, every other highlighted one loses its highlight; returns the
// last button in slot order that contains the point, or null. Null slots are
// skipped.
LUMORA_API CButtonRect* HitTestButtons(CButtonRect* const* buttons, int count, int x, int y);

// Average character width of the font a window's device context starts with
// (the stand-in of the Windows system font), measured on `window`; 0 when the
// window does not exist. Sizes label areas and the image text.
LUMORA_API int DefaultCharWidth(wxWindow* window);

}  // namespace lumora
