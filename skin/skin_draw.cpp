#include "skin/skin_draw.h"

#include <unistd.h>

#include <climits>
#include <memory>

#include <wx/dc.h>
#include <wx/dcgraph.h>
#include <wx/graphics.h>
#include <wx/log.h>
#include <wx/window.h>

#include "platform/resources.h"
#include "skin/button_rect.h"

namespace lumora {

const wxBitmap& SkinImage::Plain() {
  if (!m_plain.IsOk() && m_pixels.IsOk()) m_plain = wxBitmap(m_pixels);
  return m_plain;
}

const wxBitmap& SkinImage::Keyed() {
  if (!m_keyed.IsOk() && m_pixels.IsOk()) m_keyed = wxBitmap(ColourKeyed(m_pixels));
  return m_keyed;
}

wxColour FromColorRef(unsigned long colour) {
  return wxColour(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

wxFont FontFromGdi(const GdiFont& font) {
  // A positive Windows height is the cell height (ascent plus descent); Arial's
  // cell is 2288 units for an em of 2048, so the em is 2048/2288 of it.
  const int em = std::max(1, (font.height * 2048 + 1144) / 2288);
  wxFontInfo info(wxSize(0, em));
  info.FaceName("Arial").Family(wxFONTFAMILY_SWISS);
  if (font.weight > 0) info.Weight(font.weight);
  return wxFont(info);
}

wxFont ImageTextFont(int points) {
  wxFont font(wxFontInfo(std::max(1, points)).FaceName("Arial"));
  if (!font.IsOk()) font = wxFont(wxFontInfo(std::max(1, points)).Family(wxFONTFAMILY_SWISS));
  return font;
}

int DefaultCharWidth(wxWindow* window) {
  if (!window || !window->GetHandle()) return 0;
  // The Windows system font is a 10-point sans face; its average width is
  // measured as Windows measures dialog base units, over the 52 letters.
  static int cached = 0;
  if (cached > 0) return cached;
  static const wxString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const wxFont font(wxFontInfo(10).Family(wxFONTFAMILY_SWISS));
  int width = 0;
  int height = 0;
  window->GetTextExtent(letters, &width, &height, nullptr, nullptr, &font);
  if (width <= 0) return 0;
  cached = (width / 26 + 1) / 2;
  return cached;
}

wxGraphicsContext* GraphicsOf(wxDC& dc) { return dc.GetGraphicsContext(); }

wxString FromBytes(const char* text) {
  if (!text || !*text) return wxString();
  wxString s = wxString::FromUTF8(text);
  if (s.empty()) s = wxString(text, wxConvISO8859_1);
  return s;
}

std::vector<wxString> WrapLines(const wxString& text, int width, wxDC& dc) {
  std::vector<wxString> lines;
  for (const wxString& paragraph : wxSplit(text, '\n', '\0')) {
    wxString para = paragraph;
    if (!para.empty() && para.Last() == '\r') para.RemoveLast();
    // Break units: a run of non-space Latin text with its trailing spaces, or
    // one character of a script written without spaces.
    std::vector<wxString> units;
    wxString word;
    for (wxUniChar ch : para) {
      const bool wide = ch.GetValue() >= 0x2E80;
      if (wide) {
        if (!word.empty()) units.push_back(word), word.clear();
        units.emplace_back(ch);
        continue;
      }
      if (ch != ' ' && !word.empty() && word.Last() == ' ') units.push_back(word), word.clear();
      word += ch;
    }
    if (!word.empty()) units.push_back(word);

    wxString line;
    for (const wxString& unit : units) {
      const wxString candidate = line + unit;
      if (!line.empty() && dc.GetTextExtent(candidate.Strip(wxString::trailing)).x > width) {
        lines.push_back(line.Strip(wxString::trailing));
        line = unit;
      } else {
        line = candidate;
      }
    }
    lines.push_back(line.Strip(wxString::trailing));
  }
  return lines;
}

void DrawCentredText(wxDC& dc, const char* text, const SkinRect& rect, const wxFont& font,
                     unsigned long colour) {
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  wxDCClipper clip(dc, wxRect(rect.left, rect.top, rect.Width(), rect.Height()));
  dc.SetFont(font);
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.SetTextForeground(FromColorRef(colour));
  const int lineHeight = dc.GetCharHeight();
  int y = rect.top;
  for (wxString line : wxSplit(FromBytes(text), '\n', '\0')) {
    if (!line.empty() && line.Last() == '\r') line.RemoveLast();
    const int w = dc.GetTextExtent(line).x;
    dc.DrawText(line, rect.left + (rect.Width() - w) / 2, y);
    y += lineHeight;
    if (y >= rect.bottom) break;
  }
}

CButtonRect* HitTestButtons(CButtonRect* const* buttons, int count, int x, int y) {
  CButtonRect* hit = nullptr;
  const wxPoint point(x, y);
  for (int i = 0; i < count; ++i) {
    CButtonRect* button = buttons[i];
    if (!button) continue;
    if (button->PtInRect(point)) {
      if (!button->IsFoucus()) button->SetFocus(1);
      hit = button;
    } else if (button->IsFoucus()) {
      button->SetFocus(0);
    }
  }
  return hit;
}

void RefreshButtons(CButtonRect* const* buttons, int count, wxDC& dc) {
  for (int i = 0; i < count; ++i)
    if (buttons[i]) buttons[i]->ReflushDC(&dc);
}

void DeleteButtons(CButtonRect** buttons, int count) {
  for (int i = 0; i < count; ++i) {
    delete buttons[i];
    buttons[i] = nullptr;
  }
}

const std::string& GetModuleDir() {
  static const std::string dir = [] {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::string("./");
    std::string p(path, static_cast<std::size_t>(n));
    return p.substr(0, p.rfind('/') + 1);
  }();
  return dir;
}

bool Background::PaintFile(wxDC& dc, const std::string& path, int width, int height, bool frame) {
  if (!m_tried || m_path != path || m_id != 0) {
    m_tried = true;
    m_path = path;
    m_id = 0;
    wxImage image;
    wxLogNull quiet;  // a damaged file leaves the background unpainted, silently
    m_tile = image.LoadFile(wxString::FromUTF8(path), wxBITMAP_TYPE_BMP) ? wxBitmap(image) : wxBitmap();
  }
  return Paint(dc, width, height, frame);
}

bool Background::PaintBitmap(wxDC& dc, unsigned bitmapId, int width, int height, bool frame) {
  if (!m_tried || m_id != bitmapId || !m_path.empty()) {
    m_tried = true;
    m_path.clear();
    m_id = bitmapId;
    wxImage image;
    m_tile = keplin::LoadBitmapResource(bitmapId, image) ? wxBitmap(image) : wxBitmap();
  }
  return Paint(dc, width, height, frame);
}

bool Background::Paint(wxDC& dc, int width, int height, bool frame) {
  if (!m_tile.IsOk()) return false;
  wxGraphicsContext* gc = GraphicsOf(dc);
  if (!gc) return false;
  // A stipple brush repeats its bitmap from the origin of user space, which is
  // the client origin here, as the texture brush's tiling is on Windows.
  const wxGraphicsBrush texture = gc->CreateBrush(wxBrush(m_tile));
  gc->SetPen(wxNullGraphicsPen);
  gc->SetAntialiasMode(wxANTIALIAS_NONE);
  if (!frame) {
    gc->SetBrush(texture);
    gc->DrawRectangle(0, 0, width, height);
  } else {
    gc->SetBrush(gc->CreateBrush(*wxBLACK_BRUSH));
    gc->DrawRectangle(0, 0, width, height);
    gc->SetBrush(texture);
    gc->DrawRectangle(2, 26, width - 4, height - 28);
  }
  gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
  return true;
}

}  // namespace lumora
