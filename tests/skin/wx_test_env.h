// A wx GUI application for the window tests of the skin, started once per
// test program, and helpers to let queued events run and to read pixels back.
#pragma once

#include <chrono>
#include <functional>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/utils.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

class WxEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "skin_test";
    static char* argv[] = {name, nullptr};
    // A failed wx assertion fails the test instead of opening a dialog.
    wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                          const wxString& msg) {
      ADD_FAILURE_AT(file.utf8_str(), line) << "wx assertion in " << func << ": " << cond << " " << msg;
    });
    wxApp::SetInstance(new wxApp);
    ASSERT_TRUE(wxEntryStart(argc, argv)) << "no display: run under tests/run-isolated.sh --xvfb";
    ASSERT_TRUE(wxTheApp->CallOnInit());
  }
  void TearDown() override {
    wxTheApp->OnExit();
    wxEntryCleanup();
  }
};

// Lets pending events run until `done` holds or `timeout` passes.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    wxTheApp->Yield(true);
    wxMilliSleep(5);
  }
  return true;
}

inline void Pump(std::chrono::milliseconds duration = std::chrono::milliseconds(100)) {
  PumpUntil([] { return false; }, duration);
}

// Renders with `paint` into a fresh bitmap of `size` filled with `fill` and
// returns the pixels.
template <typename Paint>
wxImage RenderToImage(const wxSize& size, Paint paint, const wxColour& fill = *wxBLACK) {
  wxBitmap bitmap(size.x, size.y, 24);
  {
    wxMemoryDC dc(bitmap);
    dc.SetBackground(wxBrush(fill));
    dc.Clear();
    paint(dc);
  }
  return bitmap.ConvertToImage();
}

// What `window` shows on the display now (its client area), read back from
// the X server once the repaints it has pending have run.
inline wxImage ShownPixels(wxWindow& window) {
  Pump(std::chrono::milliseconds(30));
  window.Update();
  Pump(std::chrono::milliseconds(30));
  const wxSize size = window.GetClientSize();
  const wxPoint origin = window.ClientToScreen(wxPoint(0, 0));
  Display* display = wxGetX11Display();
  XSync(display, False);
  XImage* shot = XGetImage(display, DefaultRootWindow(display), origin.x, origin.y, size.x, size.y,
                           AllPlanes, ZPixmap);
  wxImage image(size.x, size.y);
  if (!shot) return image;
  for (int y = 0; y < size.y; ++y)
    for (int x = 0; x < size.x; ++x) {
      const unsigned long pixel = XGetPixel(shot, x, y);  // 24-bit TrueColor: 0xRRGGBB
      image.SetRGB(x, y, (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
  XDestroyImage(shot);
  return image;
}

inline wxColour PixelAt(const wxImage& image, int x, int y) {
  return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

// A solid image of one colour.
inline wxImage SolidImage(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
  wxImage image(width, height);
  image.SetRGB(wxRect(0, 0, width, height), r, g, b);
  return image;
}
