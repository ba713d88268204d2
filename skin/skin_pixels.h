// The pixel and layout rules of the skinned windows, as plain functions that
// need no window: the image effects, the colour key, the image-text size, the
// label rectangle, hit tests on rectangles and the bounded text copies.
#pragma once

#include <cstddef>
#include <string>

#include "skin/lumora_export.h"

class wxImage;

// A rectangle in the Windows convention: left and top inside, right and bottom
// outside.
struct SkinRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

namespace lumora {

// Hover look: radial brightening of up to 50 levels at the image centre,
// fading to nothing at 300 pixels; channels clamped to 0..255.
LUMORA_API void BrightenImage(wxImage& image);

// Disabled look: radial darkening of up to 110 levels at the centre, fading to
// nothing at 500 pixels; channels clamped to 100..255.
LUMORA_API void DarkenImage(wxImage& image);

// True for the colours the colour key draws transparent (red, green and blue
// all from 0xFA to 0xFF).
constexpr bool IsKeyColour(unsigned char r, unsigned char g, unsigned char b) {
  return r >= 0xFA && g >= 0xFA && b >= 0xFA;
}

// A copy of `image` whose key-coloured pixels are fully transparent.
LUMORA_API wxImage ColourKeyed(const wxImage& image);

// Point size of the image text drawn on a button `buttonWidth` pixels wide:
// `textLength` is the text's length in code-page bytes, `averageCharWidth` the
// parent's average character width, `fontEnabled` and `fontSize` the button's
// EnableFont and SetFont settings.
LUMORA_API int ChooseImageTextSize(int textLength, int buttonWidth, int averageCharWidth,
                                   bool fontEnabled, int fontSize);

// SetAlignment's rule: 0 near, 1 centre, 2 far; anything else becomes 1.
constexpr int ClampAlignment(int alignment) { return alignment < 0 || alignment > 2 ? 1 : alignment; }

// The label area right of `button` for a label of `textLength` bytes.
LUMORA_API SkinRect LabelRect(const SkinRect& button, int textLength, int averageCharWidth);

// Length of UTF-8 `text` as the system code page would count it: one byte per
// ASCII character, two per other character (as the double-byte Chinese code
// page does), so that sizes derived from text lengths stay as laid out.
LUMORA_API int CodePageLength(const char* text);

// Copies `text` into `buffer` of `capacity` bytes, cut at a UTF-8 character
// boundary so that it fits with its terminating zero. Null text gives "".
LUMORA_API void CopyBounded(char* buffer, std::size_t capacity, const char* text);

// Bytes of UTF-8 that hold any text of `codePageBytes` code-page bytes with
// its terminating zero: a character counted as two bytes takes up to four.
constexpr std::size_t Utf8Capacity(std::size_t codePageBytes) { return 2 * codePageBytes + 1; }

// Copies `text` cut to `codePageLimit` bytes as CodePageLength counts them,
// never inside a character, as a code-page buffer of `codePageLimit + 1`
// bytes would keep it; `capacity` (at least Utf8Capacity(codePageLimit))
// bounds the copy in any case. Null text gives "".
LUMORA_API void CopyCodePageBounded(char* buffer, std::size_t capacity, const char* text,
                                    std::size_t codePageLimit);

// Width of a tip window for `text`: nine pixels per code-page byte.
LUMORA_API int TipWidth(const char* text);

}  // namespace lumora
