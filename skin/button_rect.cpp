#include "skin/button_rect.h"

#include <atomic>
#include <cwchar>

#include <wx/dc.h>
#include <wx/graphics.h>
#include <wx/window.h>

#include "platform/resources.h"
#include "skin/skin_draw.h"

namespace {

constexpr lumora::GdiFont kCaptionFont{15, 0, 400};
constexpr unsigned kHiddenOrDisabledId = static_cast<unsigned>(-5);

std::uint64_t NextSerial() {
  static std::atomic<std::uint64_t> serial{0};
  return ++serial;
}

SkinRect Union(const SkinRect& a, const SkinRect& b) {
  if (a.Width() <= 0 || a.Height() <= 0) return b;
  if (b.Width() <= 0 || b.Height() <= 0) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

}  // namespace

CButtonRect::CButtonRect(int left, int top, int right, int bottom, wxWindow* parent, unsigned clickId,
                         unsigned long textColour)
    : m_rcButton{left, top, right, bottom},
      m_pParent(parent),
      m_rcCaption{left, top, right, bottom},
      m_crText(textColour),
      m_nClickId(clickId),
      m_nSerial(NextSerial()) {}

CButtonRect::~CButtonRect() {
  // Only what was drawn: the parent may be half torn down, so nothing is measured.
  Invalidate(Union(Union(m_rcButton, m_rcTextDrawn), m_rcLabel));
}

bool CButtonRect::HasParentWindow() const { return m_pParent && m_pParent->GetHandle(); }

void CButtonRect::Invalidate(const SkinRect& rect) {
  // Inside the parent's paint the drawing happens on the paint DC instead.
  if (m_pPaintDC || !HasParentWindow() || m_pParent->IsBeingDeleted()) return;
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  m_pParent->RefreshRect(wxRect(rect.left, rect.top, rect.Width(), rect.Height()), false);
}

SkinRect CButtonRect::ImageTextLayout(int pointSize) const {
  const int h = m_rcButton.Height();
  const int top = m_rcButton.top + (h - pointSize) / 4;
  return {m_rcButton.left, top, m_rcButton.right, top + h};
}

SkinRect CButtonRect::ImageArea() const {
  SkinRect area = Union(m_rcButton, m_rcTextDrawn);
  if (!m_bDrawText || m_nTextLen <= 0 || !HasParentWindow()) return area;
  const int averageWidth = lumora::DefaultCharWidth(m_pParent);
  if (averageWidth <= 0) return area;
  const int size = lumora::ChooseImageTextSize(m_nTextLen, m_rcButton.Width(), averageWidth,
                                               m_bFontEnabled != 0, m_nFontSize);
  return Union(area, ImageTextLayout(size));
}

void CButtonRect::DrawBkTips(unsigned bitmapId, const char* text, int effects, int drawText) {
  wxImage image;
  // A missing resource leaves an image that draws nothing, as a failed load does.
  keplin::LoadBitmapResource(bitmapId, image);
  DrawBkTips(image, text, effects, drawText);
}

void CButtonRect::DrawBkTips(const wxImage& bitmap, const char* text, int effects, int drawText) {
  m_bDrawText = drawText;
  m_bEffects = effects;
  m_bHoverReady = 0;
  m_bDisabledReady = 0;
  if (!m_pParent) return;

  m_pImgHover = std::make_unique<lumora::SkinImage>(bitmap);
  m_pImgDisabled = std::make_unique<lumora::SkinImage>(bitmap);
  m_pImgNormal = std::make_unique<lumora::SkinImage>(bitmap);
  m_pImgIdle = m_pImgNormal.get();
  DrawPicture(m_pImgNormal.get());

  if (text) {
    lumora::CopyCodePageBounded(m_szText, sizeof m_szText, text, kTextLimit);
    m_nTextLen = lumora::CodePageLength(m_szText);
    const wxString wide = lumora::FromBytes(m_szText);
    std::wcsncpy(m_wszText, wide.wc_str(), 255);
    m_wszText[255] = L'\0';
    // Windows also drew the text once here in black, 12 points; the next paint
    // of the parent drew over it. Here the parent's paint is the only drawing,
    // so that transient text is not shown (see DrawWindText for the lasting one).
    // The old text and the new one may both reach below the button.
    Invalidate(ImageArea());
  }
}

void CButtonRect::DrawPicture(lumora::SkinImage* image) {
  if (!image || !m_pParent) return;
  if (!m_pPaintDC) {
    Invalidate(ImageArea());
    return;
  }
  const wxBitmap& bitmap = (m_bEffects && m_bShowOut) ? image->Keyed() : image->Plain();
  wxGraphicsContext* gc = lumora::GraphicsOf(*m_pPaintDC);
  if (!bitmap.IsOk() || !gc) return;
  gc->DrawBitmap(bitmap, m_rcButton.left, m_rcButton.top, m_rcButton.Width(), m_rcButton.Height());
}

int CButtonRect::SetFocus(int state) {
  m_nFocus = state;
  if (!m_bShow) return 0;
  lumora::SkinImage* chosen = m_pImgIdle;
  if (m_bEnable) {
    if (state && m_bEffects && m_bChangeBk) {
      if (!m_bHoverReady && m_pImgNormal && m_pImgHover) {
        m_bHoverReady = 1;
        lumora::BrightenImage(m_pImgHover->Pixels());
        m_pImgHover->Changed();
      }
      chosen = m_pImgHover.get();
    }
  } else {
    if (!m_bDisabledReady && m_pImgDisabled) {
      m_bDisabledReady = 1;
      lumora::DarkenImage(m_pImgDisabled->Pixels());
      m_pImgDisabled->Changed();
    }
    chosen = m_pImgDisabled.get();
  }
  DrawPicture(chosen);
  DrawWindText();
  return 1;
}

int CButtonRect::IsFoucus() const { return m_bChangeBk ? m_nFocus : 0; }

int CButtonRect::DrawWindText() {
  if (!m_bDrawText || m_nTextLen <= 0 || !HasParentWindow()) return 0;
  const int averageWidth = lumora::DefaultCharWidth(m_pParent);
  if (averageWidth <= 0) return 0;
  if (!m_pPaintDC) {
    Invalidate(ImageArea());
    return 0;
  }
  const int size = lumora::ChooseImageTextSize(m_nTextLen, m_rcButton.Width(), averageWidth,
                                               m_bFontEnabled != 0, m_nFontSize);
  const SkinRect layout = ImageTextLayout(size);
  m_rcTextDrawn = layout;
  DrawImageText(m_szText, size, m_nAlignment, layout, m_crText);
  return 0;
}

void CButtonRect::DrawImageText(const char* text, int pointSize, int alignment, const SkinRect& layout,
                                unsigned long colour) {
  wxDC& dc = *m_pPaintDC;
  wxDCClipper clip(dc, wxRect(layout.left, layout.top, layout.Width(), layout.Height()));
  dc.SetFont(lumora::ImageTextFont(pointSize));
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.SetTextForeground(lumora::FromColorRef(colour));
  const std::vector<wxString> lines = lumora::WrapLines(lumora::FromBytes(text), layout.Width(), dc);
  const int lineHeight = dc.GetCharHeight();
  const int total = lineHeight * static_cast<int>(lines.size());
  int y = layout.top;
  if (alignment == 1) y += (layout.Height() - total) / 2;
  if (alignment == 2) y += layout.Height() - total;
  for (const wxString& line : lines) {
    const int w = dc.GetTextExtent(line).x;
    int x = layout.left;
    if (alignment == 1) x += (layout.Width() - w) / 2;
    if (alignment == 2) x += layout.Width() - w;
    dc.DrawText(line, x, y);
    y += lineHeight;
  }
}

void CButtonRect::DrawGdiText(const char* text, const SkinRect& rect) {
  lumora::DrawCentredText(*m_pPaintDC, text, rect, lumora::FontFromGdi(m_hFont), m_crText);
}

int CButtonRect::DrawNewText(const char* text, int keepFont) {
  if (!keepFont) m_hFont = kCaptionFont;
  if (!m_pParent || !text || !*text) return 0;
  if (text != m_szCaption) lumora::CopyCodePageBounded(m_szCaption, sizeof m_szCaption, text, kTextLimit);
  if (!HasParentWindow() || lumora::DefaultCharWidth(m_pParent) <= 0) return 0;
  m_rcCaption = m_rcButton;
  if (m_pPaintDC)
    DrawGdiText(m_szCaption, m_rcCaption);
  else
    Invalidate(m_rcCaption);
  return 1;
}

int CButtonRect::SetWindowTextO(const char* text, int keepFont) {
  if (!keepFont) m_hFont = kCaptionFont;
  if (!m_pParent) return 0;
  if (text != m_szLabel) lumora::CopyCodePageBounded(m_szLabel, sizeof m_szLabel, text, kTextLimit);
  if (!HasParentWindow()) return 0;
  const int averageWidth = lumora::DefaultCharWidth(m_pParent);
  if (averageWidth <= 0) return 0;
  const SkinRect previous = m_rcLabel;
  m_rcLabel = lumora::LabelRect(m_rcButton, lumora::CodePageLength(m_szLabel), averageWidth);
  if (m_pPaintDC)
    DrawGdiText(m_szLabel, m_rcLabel);
  else
    Invalidate(Union(previous, m_rcLabel));
  return 1;
}

void CButtonRect::ReflushDC(wxDC* dc) {
  wxDC* const outer = m_pPaintDC;
  m_pPaintDC = dc;
  if (dc)
    m_rcTextDrawn = SkinRect();  // this paint records what it draws
  else
    Invalidate(Union(ImageArea(), m_rcLabel));
  SetFocus(m_nFocus);
  DrawNewText(m_szCaption, 0);
  SetWindowTextO(m_szLabel, 0);
  m_pPaintDC = outer;
}

int CButtonRect::PtInRect(const wxPoint& point) const {
  return m_rcLabel.Contains(point.x, point.y) || m_rcButton.Contains(point.x, point.y) ? 1 : 0;
}

unsigned CButtonRect::GetClickId() const { return m_bShow && m_bEnable ? m_nClickId : kHiddenOrDisabledId; }

const char* CButtonRect::GetWndText() const { return m_bDrawText ? "" : m_szText; }

void CButtonRect::EnableButton(bool enable) {
  m_bEnable = enable;
  ReflushDC(nullptr);
}

void CButtonRect::ShowEnable(bool show) {
  m_bShow = show;
  ReflushDC(nullptr);
}
