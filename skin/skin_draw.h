// Drawing helpers shared by the button, the dialog and the view (internal to
// the library).
#pragma once

#include <string>
#include <vector>

#include <wx/bitmap.h>
#include <wx/font.h>
#include <wx/image.h>

#include "skin/lumora_export.h"
#include "skin/skin_pixels.h"

class CButtonRect;
class wxDC;
class wxGraphicsContext;
class wxWindow;

namespace lumora {

struct GdiFont;

// An image of a button with the bitmaps made from it on first use.
class SkinImage {
 public:
  explicit SkinImage(const wxImage& pixels) : m_pixels(pixels.IsOk() ? pixels.Copy() : wxImage()) {}
  wxImage& Pixels() { return m_pixels; }
  // Call after changing Pixels().
  void Changed() {
    m_plain = wxBitmap();
    m_keyed = wxBitmap();
  }
  const wxBitmap& Plain();
  const wxBitmap& Keyed();

 private:
  wxImage m_pixels;
  wxBitmap m_plain;
  wxBitmap m_keyed;
};

// The font a Windows font request (cell height in pixels, width, weight, face
// "Arial") stands for: the Arial-compatible face at the matching em size.
wxFont FontFromGdi(const GdiFont& font);
// Arial (or the system's Arial-compatible face) at `points` points, regular.
wxFont ImageTextFont(int points);
// The graphics context behind `dc` (every device context on GTK 3 has one).
wxGraphicsContext* GraphicsOf(wxDC& dc);
// Text in UTF-8 as a wx string; bytes that are not UTF-8 are read as Latin-1
// rather than dropped.
wxString FromBytes(const char* text);

// Splits `text` into the lines a layout rectangle `width` pixels wide holds,
// breaking after spaces and between characters of scripts without spaces.
std::vector<wxString> WrapLines(const wxString& text, int width, wxDC& dc);

// ReflushDC on every button, in slot order.
void RefreshButtons(CButtonRect* const* buttons, int count, wxDC& dc);
// Deletes every button and empties the slots.
void DeleteButtons(CButtonRect** buttons, int count);

// Directory of the running program, ending with '/'.
LUMORA_API const std::string& GetModuleDir();

// Background of a skinned window: "bk.bmp" when given, else a bitmap resource.
// Loaded on first paint and kept.
class Background {
 public:
  // Fills (0, 0, width, height) with the image tiled from the origin; with
  // `frame`, black with the image inside (2, 26, width - 4, height - 28).
  // Returns false, drawing nothing, when the image cannot be loaded.
  bool PaintFile(wxDC& dc, const std::string& path, int width, int height, bool frame);
  bool PaintBitmap(wxDC& dc, unsigned bitmapId, int width, int height, bool frame);

 private:
  bool Paint(wxDC& dc, int width, int height, bool frame);
  std::string m_path;
  unsigned m_id = 0;
  bool m_tried = false;
  wxBitmap m_tile;
};

// Draws `text` as a Windows caption: transparent, centred horizontally,
// top-aligned, one line per line break, clipped to `rect`.
void DrawCentredText(wxDC& dc, const char* text, const SkinRect& rect, const wxFont& font,
                     unsigned long colour);

wxColour FromColorRef(unsigned long colour);

}  // namespace lumora
