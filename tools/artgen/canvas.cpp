#include "canvas.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

namespace artgen {

Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

void SetColour(cairo_t* cr, Rgb c, double alpha) {
  cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

namespace {

void AddStops(cairo_pattern_t* p, std::initializer_list<Stop> stops) {
  for (const Stop& s : stops)
    cairo_pattern_add_color_stop_rgba(p, s.offset, s.colour.r / 255.0, s.colour.g / 255.0, s.colour.b / 255.0,
                                      s.alpha);
}

void FillWith(cairo_t* cr, cairo_pattern_t* p) {
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
}

// Fonts are rendered the same way on every machine: no hinting, greyscale
// antialiasing, 96 dots per inch.
PangoLayout* MakeLayout(cairo_t* cr, const std::string& text, const std::string& font) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoContext* context = pango_layout_get_context(layout);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context, 96);
  pango_layout_context_changed(layout);
  PangoFontDescription* desc = pango_font_description_from_string(font.c_str());
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  pango_layout_set_text(layout, text.c_str(), -1);
  return layout;
}

}  // namespace

void FillLinear(cairo_t* cr, double x0, double y0, double x1, double y1, std::initializer_list<Stop> stops) {
  cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
  AddStops(p, stops);
  FillWith(cr, p);
}

void FillRadial(cairo_t* cr, double cx, double cy, double radius, std::initializer_list<Stop> stops) {
  cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, radius);
  AddStops(p, stops);
  FillWith(cr, p);
}

void Stroke(cairo_t* cr, Rgb c, double width, double alpha) {
  SetColour(cr, c, alpha);
  cairo_set_line_width(cr, width);
  cairo_stroke_preserve(cr);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  RoundedRectXY(cr, x, y, w, h, r, r);
}

void RoundedRectXY(cairo_t* cr, double x, double y, double w, double h, double rx, double ry) {
  rx = std::min(rx, w / 2);
  ry = std::min(ry, h / 2);
  cairo_new_path(cr);
  const double corners[4][3] = {{x + w - rx, y + ry, -M_PI / 2},
                                {x + w - rx, y + h - ry, 0},
                                {x + rx, y + h - ry, M_PI / 2},
                                {x + rx, y + ry, M_PI}};
  for (const auto& c : corners) {
    cairo_save(cr);
    cairo_translate(cr, c[0], c[1]);
    cairo_scale(cr, rx > 0 ? rx : 1e-6, ry > 0 ? ry : 1e-6);
    cairo_arc(cr, 0, 0, 1, c[2], c[2] + M_PI / 2);
    cairo_restore(cr);
  }
  cairo_close_path(cr);
}

void Ellipse(cairo_t* cr, double cx, double cy, double rx, double ry) {
  cairo_new_path(cr);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  cairo_close_path(cr);
}

void SoftShadow(cairo_t* cr, double x, double y, double w, double h, double r, double spread, double alpha) {
  const int steps = 8;
  for (int i = steps; i >= 1; --i) {
    const double grow = spread * i / steps;
    RoundedRect(cr, x - grow, y - grow, w + 2 * grow, h + 2 * grow, r + grow);
    SetColour(cr, {0, 0, 0}, alpha / steps);
    cairo_fill(cr);
  }
}

void Card(cairo_t* cr, double w, double h) {
  SoftShadow(cr, 5, 6, w - 10, h - 10, 9, 3.5, 0.10);
  RoundedRect(cr, 4.5, 4.5, w - 9, h - 10, 9);
  FillLinear(cr, 0, 4, 0, h - 6, {{0, {255, 255, 255}}, {1, {248, 250, 252}}});
  Stroke(cr, {214, 220, 228}, 1);
  cairo_new_path(cr);
  RoundedRect(cr, 5, 5, w - 10, h - 11, 8.5);
  cairo_clip(cr);
}

void Arrow(cairo_t* cr, double x0, double y0, double x1, double y1, double width, Rgb c) {
  const double angle = std::atan2(y1 - y0, x1 - x0);
  const double head = width * 2.6;
  const double bx = x1 - std::cos(angle) * head;
  const double by = y1 - std::sin(angle) * head;
  cairo_new_path(cr);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, bx, by);
  SetColour(cr, c);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, bx + std::cos(angle + M_PI / 2) * head * 0.7, by + std::sin(angle + M_PI / 2) * head * 0.7);
  cairo_line_to(cr, bx + std::cos(angle - M_PI / 2) * head * 0.7, by + std::sin(angle - M_PI / 2) * head * 0.7);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

void ArcArrow(cairo_t* cr, double cx, double cy, double r, double a0, double a1, double width, Rgb c) {
  const double head = width * 2.6;
  const double direction = a1 > a0 ? 1 : -1;
  const double stop = a1 - direction * head / r;
  cairo_new_path(cr);
  if (direction > 0)
    cairo_arc(cr, cx, cy, r, a0, stop);
  else
    cairo_arc_negative(cr, cx, cy, r, a0, stop);
  SetColour(cr, c);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  const double tx = cx + r * std::cos(a1), ty = cy + r * std::sin(a1);
  const double bx = cx + r * std::cos(stop), by = cy + r * std::sin(stop);
  const double nx = std::cos(stop) * head * 0.7, ny = std::sin(stop) * head * 0.7;
  cairo_move_to(cr, tx, ty);
  cairo_line_to(cr, bx + nx, by + ny);
  cairo_line_to(cr, bx - nx, by - ny);
  cairo_close_path(cr);
  cairo_fill(cr);
}

double Text(cairo_t* cr, const std::string& text, const std::string& font, double x, double y, Rgb c,
            bool inkAligned) {
  PangoLayout* layout = MakeLayout(cr, text, font);
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(layout, &ink, &logical);
  if (inkAligned) {
    x -= ink.x;
    y -= ink.y;
  }
  cairo_move_to(cr, x, y);
  SetColour(cr, c);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
  cairo_new_path(cr);
  return logical.width;
}

void TextSize(cairo_t* cr, const std::string& text, const std::string& font, double* w, double* h) {
  PangoLayout* layout = MakeLayout(cr, text, font);
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  *w = logical.width;
  *h = logical.height;
  g_object_unref(layout);
}

}  // namespace artgen
