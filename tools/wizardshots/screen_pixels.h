// A rectangle of the X screen read back as the server shows it, child windows
// included, through the desktop's drawing kit that the toolkit already loads
// (its development headers are not needed for these few calls). Used for the
// wizard's pictures and by the window tests that check what was drawn.
#pragma once

#include <wx/colour.h>
#include <wx/gdicmn.h>

#include <string>

extern "C" {
struct _GdkWindow;
struct _GdkPixbuf;
struct _GError;
_GdkWindow* gdk_get_default_root_window(void);
_GdkPixbuf* gdk_pixbuf_get_from_window(_GdkWindow* window, int x, int y, int width, int height);
unsigned char* gdk_pixbuf_get_pixels(const _GdkPixbuf* pixbuf);
int gdk_pixbuf_get_rowstride(const _GdkPixbuf* pixbuf);
int gdk_pixbuf_get_n_channels(const _GdkPixbuf* pixbuf);
int gdk_pixbuf_save(_GdkPixbuf* pixbuf, const char* filename, const char* type, _GError** error, ...);
void g_error_free(_GError* error);
void g_object_unref(void* object);
}

class ScreenPixels {
 public:
  // `area` in screen coordinates.
  explicit ScreenPixels(const wxRect& area)
      : m_pixels(gdk_pixbuf_get_from_window(gdk_get_default_root_window(), area.x, area.y, area.width,
                                            area.height)) {}
  ~ScreenPixels() {
    if (m_pixels) g_object_unref(m_pixels);
  }
  ScreenPixels(const ScreenPixels&) = delete;
  ScreenPixels& operator=(const ScreenPixels&) = delete;

  bool ok() const { return m_pixels != nullptr; }
  // The pixel at (x, y) of the area; call only when ok().
  wxColour At(int x, int y) const {
    const unsigned char* p = gdk_pixbuf_get_pixels(m_pixels) + y * gdk_pixbuf_get_rowstride(m_pixels) +
                             x * gdk_pixbuf_get_n_channels(m_pixels);
    return wxColour(p[0], p[1], p[2]);
  }
  bool SavePng(const std::string& path) const {
    if (!m_pixels) return false;
    _GError* error = nullptr;
    const bool saved = gdk_pixbuf_save(m_pixels, path.c_str(), "png", &error, static_cast<char*>(nullptr));
    if (error) g_error_free(error);
    return saved;
  }

 private:
  _GdkPixbuf* m_pixels;
};
