// The wizard's bitmaps and the programs' icons: what each one shows, at the
// size and depth the wizard's resources need.
#pragma once

#include <cairo.h>

#include <vector>

namespace artgen {

struct Picture {
  unsigned id;  // bitmap resource number
  int width, height;
  int bits;  // 24, or 8 for a palette bitmap
  void (*draw)(cairo_t* cr, int width, int height);
};

const std::vector<Picture>& Pictures();

// The application icon at `size` pixels square, on a transparent ground.
void DrawIcon(cairo_t* cr, int size);
// The search window's icon, drawn the same way.
void DrawSearchIcon(cairo_t* cr, int size);

}  // namespace artgen
