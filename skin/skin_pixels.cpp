#include "skin/skin_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <wx/image.h>

#include "platform/profile.h"

namespace lumora {

namespace {

// Runs `change(channel, distance)` on every pixel nearer than `radius` to the
// image centre (the centre rounded down to whole pixels), column by column.
template <typename Change>
void RadialEffect(wxImage& image, double radius, Change change) {
  if (!image.IsOk()) return;
  const int w = image.GetWidth();
  const int h = image.GetHeight();
  const int cx = w / 2;
  const int cy = h / 2;
  unsigned char* data = image.GetData();
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y < h; ++y) {
      const double dx = x - cx;
      const double dy = y - cy;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d >= radius) continue;
      unsigned char* px = data + (static_cast<std::size_t>(y) * w + x) * 3;
      for (int c = 0; c < 3; ++c) px[c] = change(px[c], static_cast<float>(d));
    }
  }
}

unsigned char ClampToByte(float v, float low) {
  if (v > 255.0f) v = 255.0f;
  if (v < low) v = low;
  return static_cast<unsigned char>(static_cast<int>(v));
}

}  // namespace

void BrightenImage(wxImage& image) {
  RadialEffect(image, 300.0, [](unsigned char c, float d) {
    return ClampToByte(static_cast<float>(c) + (1.0f - d * 0.0033333334f) * 50.0f, 0.0f);
  });
}

void DarkenImage(wxImage& image) {
  RadialEffect(image, 500.0, [](unsigned char c, float d) {
    return ClampToByte(static_cast<float>(c) - (1.0f - d * 0.002f) * 110.0f, 100.0f);
  });
}

wxImage ColourKeyed(const wxImage& image) {
  wxImage keyed = image.Copy();
  if (!keyed.IsOk()) return keyed;
  if (!keyed.HasAlpha()) keyed.InitAlpha();
  const unsigned char* rgb = keyed.GetData();
  unsigned char* alpha = keyed.GetAlpha();
  const std::size_t count = static_cast<std::size_t>(keyed.GetWidth()) * keyed.GetHeight();
  for (std::size_t i = 0; i < count; ++i) {
    if (IsKeyColour(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2])) alpha[i] = 0;
  }
  return keyed;
}

int ChooseImageTextSize(int textLength, int buttonWidth, int averageCharWidth, bool fontEnabled,
                        int fontSize) {
  const int n = std::max(textLength, 5);
  int size = buttonWidth / n - 2;
  if (size < averageCharWidth && averageCharWidth > 0) size = averageCharWidth;
  size = std::clamp(size, 8, 12);
  if (!fontEnabled) size = 8;
  if (fontSize != 8) size = fontSize;
  return size;
}

SkinRect LabelRect(const SkinRect& button, int textLength, int averageCharWidth) {
  return {button.right, button.top, button.right + textLength * averageCharWidth + std::min(textLength, 7),
          button.bottom};
}

int CodePageLength(const char* text) {
  return text ? static_cast<int>(platform::AnsiLength(text)) : 0;
}

void CopyBounded(char* buffer, std::size_t capacity, const char* text) {
  if (capacity == 0) return;
  if (!text) {
    buffer[0] = '\0';
    return;
  }
  std::size_t n = strnlen(text, capacity);
  if (n >= capacity) {
    n = capacity - 1;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memmove(buffer, text, n);
  buffer[n] = '\0';
}

void CopyCodePageBounded(char* buffer, std::size_t capacity, const char* text, std::size_t codePageLimit) {
  if (!text) {
    CopyBounded(buffer, capacity, text);
    return;
  }
  CopyBounded(buffer, capacity, platform::CutToAnsiBytes(text, codePageLimit).c_str());
}

int TipWidth(const char* text) { return 9 * CodePageLength(text); }

}  // namespace lumora
