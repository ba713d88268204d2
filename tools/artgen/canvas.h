// Drawing helpers shared by the wizard's pictures: colours, rounded shapes,
// gradients and soft shadows on a cairo context.
#pragma once

#include <cairo.h>

#include <initializer_list>
#include <string>

namespace artgen {

struct Rgb {
  double r, g, b;  // 0 to 255, as colours are written in the design
};

constexpr Rgb kWindowGrey{245, 245, 245};  // the skinned window's flat background
constexpr Rgb kBrand{16, 168, 233};        // the wizard's heading colour
constexpr Rgb kNavy{11, 61, 112};
constexpr Rgb kWhite{255, 255, 255};

Rgb Mix(Rgb a, Rgb b, double t);
void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0);

struct Stop {
  double offset;
  Rgb colour;
  double alpha = 1.0;
};

// Paints the current path (and keeps it) with a linear gradient from
// (x0, y0) to (x1, y1).
void FillLinear(cairo_t* cr, double x0, double y0, double x1, double y1, std::initializer_list<Stop> stops);
void FillRadial(cairo_t* cr, double cx, double cy, double radius, std::initializer_list<Stop> stops);
void Stroke(cairo_t* cr, Rgb c, double width, double alpha = 1.0);

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
// Corners with different horizontal and vertical radii, for art that the
// program later stretches unevenly: the corners come out round on screen.
void RoundedRectXY(cairo_t* cr, double x, double y, double w, double h, double rx, double ry);
void Ellipse(cairo_t* cr, double cx, double cy, double rx, double ry);

// A blurred shadow under a rounded rectangle, faked with stacked translucent
// outlines (cairo has no blur).
void SoftShadow(cairo_t* cr, double x, double y, double w, double h, double r, double spread, double alpha);

// A white card with a hairline border and a shadow, on the window's grey:
// the frame every product picture sits in. What is drawn after it is
// clipped to the card.
void Card(cairo_t* cr, double w, double h);

// An arrow along a straight line, head at (x1, y1).
void Arrow(cairo_t* cr, double x0, double y0, double x1, double y1, double width, Rgb c);
// An arrow along a circular arc (angles in radians), head at the end angle.
void ArcArrow(cairo_t* cr, double cx, double cy, double r, double a0, double a1, double width, Rgb c);

// Text laid out with pango; font is a pango description ("Liberation Sans Bold 20").
// (x, y) is the top-left of the text's ink box when `inkAligned`, else of its
// logical box. Returns the logical width.
double Text(cairo_t* cr, const std::string& text, const std::string& font, double x, double y, Rgb c,
            bool inkAligned = false);
// Logical width and height of a text.
void TextSize(cairo_t* cr, const std::string& text, const std::string& font, double* w, double* h);

}  // namespace artgen
