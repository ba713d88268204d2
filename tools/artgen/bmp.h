// Windows bitmap files as the wizard's resources hold them: uncompressed,
// bottom-up rows padded to four bytes, 24 bits or 8 bits with a palette.
#pragma once

#include <cairo.h>

#include <string>

namespace artgen {

// Writes an opaque cairo image (ARGB32) as a 24-bit bitmap. Returns false
// when the file cannot be written.
bool WriteBmp24(cairo_surface_t* image, const std::string& path);

// Writes it as an 8-bit bitmap with a palette of at most 256 colours chosen
// by median cut, each pixel mapped to its nearest palette colour.
bool WriteBmp8(cairo_surface_t* image, const std::string& path);

}  // namespace artgen
