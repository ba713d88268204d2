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

inline wxColour PixelAt(const wxImage& image, int x, int y) {
  return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

// A solid image of one colour.
inline wxImage SolidImage(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
  wxImage image(width, height);
  image.SetRGB(wxRect(0, 0, width, height), r, g, b);
  return image;
}
