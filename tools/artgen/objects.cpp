#include "objects.h"

#include <cmath>

namespace artgen {

namespace {

constexpr Rgb kOutline{132, 142, 154};

void Metal(cairo_t* cr, double y0, double y1) {
  FillLinear(cr, 0, y0, 0, y1, {{0, {150, 156, 164}}, {0.35, {236, 239, 242}}, {0.6, {196, 201, 208}}, {1, {120, 126, 134}}});
}

void WhitePlastic(cairo_t* cr, double y0, double y1) {
  FillLinear(cr, 0, y0, 0, y1,
             {{0, {236, 239, 243}}, {0.25, {253, 254, 255}}, {0.7, {224, 229, 235}}, {1, {176, 184, 194}}});
}

}  // namespace

void Cable(cairo_t* cr, Rgb colour, double width) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  Stroke(cr, Mix(colour, {0, 0, 0}, 0.35), width + 1.2);
  Stroke(cr, colour, width);
  // The highlight runs along the upper left of the cable: the same path, shifted.
  cairo_path_t* path = cairo_copy_path(cr);
  cairo_new_path(cr);
  cairo_save(cr);
  cairo_translate(cr, -width * 0.18, -width * 0.22);
  cairo_append_path(cr, path);
  Stroke(cr, Mix(colour, kWhite, 0.45), width * 0.28, 0.8);
  cairo_restore(cr);
  cairo_path_destroy(path);
  cairo_new_path(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

void BulletCamera(cairo_t* cr) {
  cairo_save(cr);
  // Body: a white cylinder with a dark front collar.
  RoundedRect(cr, 0, 9, 100, 37, 11);
  WhitePlastic(cr, 9, 46);
  Stroke(cr, kOutline, 0.9);
  cairo_new_path(cr);
  cairo_move_to(cr, 26, 10);
  cairo_line_to(cr, 26, 45);
  Stroke(cr, {196, 203, 212}, 0.9);
  cairo_new_path(cr);
  RoundedRect(cr, 90, 8, 16, 39, 5);
  FillLinear(cr, 0, 8, 0, 47, {{0, {96, 102, 110}}, {0.3, {62, 67, 74}}, {1, {30, 33, 38}}});
  Stroke(cr, {30, 33, 38}, 0.8);
  // The front face seen at a slant, with the lens and a ring of infrared lights.
  Ellipse(cr, 106, 27.5, 7.5, 19);
  FillLinear(cr, 98, 0, 114, 0, {{0, {40, 44, 50}}, {1, {14, 16, 20}}});
  cairo_new_path(cr);
  for (int i = 0; i < 8; ++i) {
    const double a = i * M_PI / 4 + M_PI / 8;
    Ellipse(cr, 106.5 + std::cos(a) * 4.6, 27.5 + std::sin(a) * 13.2, 1.1, 1.7);
    SetColour(cr, {120, 40, 48});
    cairo_fill(cr);
  }
  Ellipse(cr, 107, 27.5, 4.2, 9.5);
  FillRadial(cr, 108, 24, 11, {{0, {70, 130, 190}}, {0.45, {24, 50, 90}}, {1, {6, 10, 20}}});
  cairo_new_path(cr);
  Ellipse(cr, 108.2, 23.5, 1.4, 3.2);
  SetColour(cr, kWhite, 0.75);
  cairo_fill(cr);
  // Sun shield over the body, reaching past the front.
  RoundedRect(cr, 3, 0, 115, 11, 5);
  FillLinear(cr, 0, 0, 0, 11, {{0, {255, 255, 255}}, {0.5, {240, 243, 246}}, {1, {200, 207, 215}}});
  Stroke(cr, kOutline, 0.9);
  cairo_new_path(cr);
  cairo_restore(cr);
}

void Pigtail(cairo_t* cr) {
  cairo_save(cr);
  cairo_move_to(cr, 30, 44);
  cairo_curve_to(cr, 30, 70, 10, 66, 12, 88);
  Cable(cr, kCableGrey, 3.2);
  cairo_move_to(cr, 12, 88);
  cairo_curve_to(cr, 12, 96, 30, 96, 38, 100);
  Cable(cr, kCableGrey, 2.6);
  cairo_move_to(cr, 12, 88);
  cairo_curve_to(cr, 10, 100, 14, 108, 22, 116);
  Cable(cr, {40, 42, 46}, 2.4);
  // Network socket (a coupler) and power socket at the ends.
  RoundedRect(cr, 38, 94, 18, 13, 2.5);
  FillLinear(cr, 0, 94, 0, 107, {{0, {92, 98, 106}}, {1, {46, 50, 56}}});
  cairo_new_path(cr);
  RoundedRect(cr, 50, 96.5, 5, 8, 1);
  SetColour(cr, {15, 16, 18});
  cairo_fill(cr);
  cairo_save(cr);
  cairo_translate(cr, 22, 116);
  cairo_rotate(cr, M_PI / 4);
  RoundedRect(cr, 0, -4, 14, 8, 2);
  FillLinear(cr, 0, -4, 0, 4, {{0, {70, 74, 80}}, {1, {24, 26, 30}}});
  cairo_new_path(cr);
  Ellipse(cr, 14, 0, 1.6, 3.2);
  SetColour(cr, {160, 166, 172});
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_restore(cr);
}

void NetworkPlug(cairo_t* cr, Rgb boot) {
  cairo_save(cr);
  // Boot with grip ribs.
  RoundedRect(cr, 0, -6, 13, 12, 3);
  FillLinear(cr, 0, -6, 0, 6, {{0, Mix(boot, kWhite, 0.35)}, {0.5, boot}, {1, Mix(boot, {0, 0, 0}, 0.35)}});
  cairo_new_path(cr);
  for (int i = 0; i < 3; ++i) {
    cairo_move_to(cr, 3 + i * 3, -5);
    cairo_line_to(cr, 3 + i * 3, 5);
  }
  Stroke(cr, Mix(boot, {0, 0, 0}, 0.3), 0.8);
  cairo_new_path(cr);
  // Clear body with gold contacts at the tip and the latch on top.
  RoundedRect(cr, 11, -7, 19, 14, 2);
  FillLinear(cr, 0, -7, 0, 7, {{0, {246, 249, 252}}, {0.5, {214, 222, 232}}, {1, {180, 190, 202}}});
  Stroke(cr, {140, 152, 166}, 0.8);
  cairo_new_path(cr);
  for (int i = 0; i < 6; ++i) {
    cairo_move_to(cr, 23, -5 + i * 2);
    cairo_line_to(cr, 29.5, -5 + i * 2);
  }
  Stroke(cr, {214, 170, 60}, 1.0);
  cairo_new_path(cr);
  cairo_restore(cr);
}

void BarrelPlug(cairo_t* cr) {
  cairo_save(cr);
  RoundedRect(cr, 0, -4.5, 17, 9, 2);
  FillLinear(cr, 0, -4.5, 0, 4.5, {{0, {84, 88, 96}}, {0.4, {44, 47, 52}}, {1, {20, 22, 25}}});
  cairo_new_path(cr);
  for (int i = 0; i < 3; ++i) {
    cairo_move_to(cr, 3 + i * 2.5, -4);
    cairo_line_to(cr, 3 + i * 2.5, 4);
  }
  Stroke(cr, {22, 24, 27}, 0.7);
  cairo_new_path(cr);
  cairo_rectangle(cr, 17, -2.6, 9, 5.2);
  Metal(cr, -2.6, 2.6);
  cairo_new_path(cr);
  cairo_restore(cr);
}

void PowerAdapter(cairo_t* cr) {
  cairo_save(cr);
  // Cable first, so that the body covers its start.
  cairo_move_to(cr, 34, 70);
  cairo_curve_to(cr, 34, 104, 70, 70, 78, 98);
  Cable(cr, {40, 42, 46}, 3.0);
  cairo_save(cr);
  cairo_translate(cr, 78, 98);
  cairo_rotate(cr, 0.25);
  BarrelPlug(cr);
  cairo_restore(cr);
  // Pins.
  for (double x : {24.0, 38.0}) {
    RoundedRect(cr, x, 2, 5, 18, 1);
    Metal(cr, 2, 20);
    Stroke(cr, {110, 116, 124}, 0.6);
    cairo_new_path(cr);
  }
  // Body.
  RoundedRect(cr, 10, 16, 48, 56, 8);
  FillLinear(cr, 10, 0, 58, 0, {{0, {78, 83, 92}}, {0.35, {58, 62, 70}}, {1, {28, 30, 35}}});
  Stroke(cr, {20, 22, 26}, 0.8);
  cairo_new_path(cr);
  RoundedRect(cr, 13, 18, 42, 8, 4);
  SetColour(cr, kWhite, 0.12);
  cairo_fill(cr);
  // A lightning mark embossed on the front.
  cairo_move_to(cr, 36, 34);
  cairo_line_to(cr, 28, 47);
  cairo_line_to(cr, 34, 47);
  cairo_line_to(cr, 31, 58);
  cairo_line_to(cr, 40, 44);
  cairo_line_to(cr, 34, 44);
  cairo_close_path(cr);
  SetColour(cr, {120, 126, 136});
  cairo_fill(cr);
  cairo_restore(cr);
}

void CableCoil(cairo_t* cr) {
  cairo_save(cr);
  const Rgb blue = kCableBlue;
  for (int i = 0; i < 3; ++i) {
    Ellipse(cr, 60 + i * 3, 50 - i * 2, 38 - i * 2, 30 - i);
    Cable(cr, blue, 4.2);
  }
  // The two ends leave the coil towards the plugs.
  cairo_move_to(cr, 30, 70);
  cairo_curve_to(cr, 22, 84, 14, 90, 10, 98);
  Cable(cr, blue, 4.2);
  cairo_move_to(cr, 96, 66);
  cairo_curve_to(cr, 104, 78, 100, 92, 96, 100);
  Cable(cr, blue, 4.2);
  cairo_save(cr);
  cairo_translate(cr, 10, 98);
  cairo_rotate(cr, M_PI * 0.62);
  NetworkPlug(cr, blue);
  cairo_restore(cr);
  cairo_save(cr);
  cairo_translate(cr, 96, 100);
  cairo_rotate(cr, M_PI * 0.42);
  NetworkPlug(cr, blue);
  cairo_restore(cr);
  cairo_restore(cr);
}

void Bracket(cairo_t* cr) {
  cairo_save(cr);
  // Arm from the wall plate to the joint, then a neck up to the camera plate.
  cairo_move_to(cr, 10, 46);
  cairo_curve_to(cr, 30, 46, 50, 40, 64, 28);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Stroke(cr, kOutline, 11);
  Stroke(cr, {232, 236, 241}, 9);
  Stroke(cr, kWhite, 3, 0.8);
  cairo_new_path(cr);
  cairo_rectangle(cr, 60, 5, 8, 20);
  WhitePlastic(cr, 5, 25);
  Stroke(cr, kOutline, 0.8);
  cairo_new_path(cr);
  Ellipse(cr, 64, 27, 8, 8);
  FillRadial(cr, 61.5, 24.5, 10, {{0, {255, 255, 255}}, {0.6, {222, 227, 233}}, {1, {168, 176, 186}}});
  Stroke(cr, kOutline, 0.8);
  cairo_new_path(cr);
  // Locking knob on the joint.
  Ellipse(cr, 64, 27, 3.2, 3.2);
  FillRadial(cr, 63, 26, 4, {{0, {120, 126, 134}}, {1, {60, 64, 70}}});
  cairo_new_path(cr);
  RoundedRect(cr, 46, 0, 36, 6, 2.5);
  WhitePlastic(cr, 0, 6);
  Stroke(cr, kOutline, 0.8);
  cairo_new_path(cr);
  // Wall plate, turned a little towards us so that its two holes show.
  RoundedRect(cr, 0, 14, 14, 62, 5);
  FillLinear(cr, 0, 0, 14, 0, {{0, {250, 251, 252}}, {0.6, {230, 234, 239}}, {1, {190, 197, 206}}});
  Stroke(cr, kOutline, 0.9);
  cairo_new_path(cr);
  for (double y : {22.0, 68.0}) {
    Ellipse(cr, 6.5, y, 2.6, 3.4);
    FillRadial(cr, 7, y + 1, 4, {{0, {90, 96, 104}}, {1, {50, 54, 60}}});
    cairo_new_path(cr);
  }
  cairo_restore(cr);
}

void Screw(cairo_t* cr) {
  cairo_save(cr);
  // Shank tapering to a point, with the thread drawn as slanted ridges.
  cairo_move_to(cr, 4, -2.6);
  cairo_line_to(cr, 36, -2.4);
  cairo_line_to(cr, 44, 0);
  cairo_line_to(cr, 36, 2.4);
  cairo_line_to(cr, 4, 2.6);
  cairo_close_path(cr);
  Metal(cr, -2.6, 2.6);
  Stroke(cr, {100, 106, 114}, 0.6);
  cairo_new_path(cr);
  for (double x = 10; x < 40; x += 3.2) {
    const double half = x < 36 ? 2.6 : 2.6 * (44 - x) / 8;
    cairo_move_to(cr, x, -half);
    cairo_line_to(cr, x + 1.8, half);
  }
  Stroke(cr, {112, 118, 126}, 0.8);
  cairo_new_path(cr);
  // Countersunk head seen from the side.
  cairo_move_to(cr, 0, -6);
  cairo_line_to(cr, 2, -6);
  cairo_line_to(cr, 5, -2.6);
  cairo_line_to(cr, 5, 2.6);
  cairo_line_to(cr, 2, 6);
  cairo_line_to(cr, 0, 6);
  cairo_close_path(cr);
  Metal(cr, -6, 6);
  Stroke(cr, {100, 106, 114}, 0.6);
  cairo_new_path(cr);
  cairo_move_to(cr, 0.8, -6);
  cairo_line_to(cr, 0.8, 6);
  Stroke(cr, {90, 96, 104}, 0.8);
  cairo_new_path(cr);
  cairo_restore(cr);
}

void WallPlug(cairo_t* cr) {
  cairo_save(cr);
  const Rgb plug{238, 208, 96};
  cairo_move_to(cr, 0, -5.5);
  cairo_line_to(cr, 3, -5.5);
  cairo_line_to(cr, 3, -3.6);
  for (double x = 3; x < 30; x += 4) {
    cairo_line_to(cr, x + 3, -4.6);
    cairo_line_to(cr, x + 4, -3.4);
  }
  cairo_line_to(cr, 34, -2.4);
  cairo_line_to(cr, 34, 2.4);
  for (double x = 31; x > 3; x -= 4) {
    cairo_line_to(cr, x, 3.4);
    cairo_line_to(cr, x - 1, 4.6);
  }
  cairo_line_to(cr, 3, 3.6);
  cairo_line_to(cr, 3, 5.5);
  cairo_line_to(cr, 0, 5.5);
  cairo_close_path(cr);
  FillLinear(cr, 0, -5.5, 0, 5.5,
             {{0, Mix(plug, kWhite, 0.5)}, {0.45, plug}, {1, Mix(plug, {120, 80, 0}, 0.45)}});
  Stroke(cr, Mix(plug, {90, 60, 0}, 0.55), 0.7);
  cairo_new_path(cr);
  // The slit that lets the plug spread in the hole.
  cairo_move_to(cr, 14, 0);
  cairo_line_to(cr, 33, 0);
  Stroke(cr, Mix(plug, {90, 60, 0}, 0.5), 0.9);
  cairo_new_path(cr);
  cairo_restore(cr);
}

void Router(cairo_t* cr) {
  cairo_save(cr);
  // Antennas behind the body.
  for (double side : {-1.0, 1.0}) {
    const double x = 80 + side * 58;
    cairo_save(cr);
    cairo_translate(cr, x, 26);
    cairo_rotate(cr, side * 0.12);
    RoundedRect(cr, -3.5, -26, 7, 30, 3.5);
    FillLinear(cr, -3.5, 0, 3.5, 0, {{0, {70, 75, 84}}, {0.4, {48, 52, 58}}, {1, {24, 26, 30}}});
    cairo_new_path(cr);
    cairo_restore(cr);
  }
  // Top face, seen a little from above.
  cairo_move_to(cr, 10, 22);
  cairo_line_to(cr, 150, 22);
  cairo_line_to(cr, 160, 36);
  cairo_line_to(cr, 0, 36);
  cairo_close_path(cr);
  FillLinear(cr, 0, 22, 0, 36, {{0, {236, 240, 245}}, {1, {252, 253, 254}}});
  Stroke(cr, kOutline, 0.8);
  cairo_new_path(cr);
  // Front: white with a dark band for the ports.
  RoundedRectXY(cr, 0, 35, 160, 51, 4, 6);
  FillLinear(cr, 0, 35, 0, 86, {{0, {250, 251, 253}}, {1, {214, 220, 228}}});
  Stroke(cr, kOutline, 0.8);
  cairo_new_path(cr);
  RoundedRect(cr, 8, 59, 144, 22, 3);
  FillLinear(cr, 0, 59, 0, 81, {{0, {70, 76, 84}}, {1, {40, 44, 50}}});
  cairo_new_path(cr);
  for (int k = 0; k < 5; ++k) {
    const double x = 24 + 22 * k - 7;
    RoundedRect(cr, x, 63, 14, 13, 1.5);
    SetColour(cr, {14, 15, 18});
    cairo_fill(cr);
    cairo_rectangle(cr, x + 3, 64, 8, 2);
    SetColour(cr, {200, 160, 60});
    cairo_fill(cr);
  }
  // Status lights.
  const Rgb lights[] = {{60, 200, 90}, {60, 200, 90}, kBrand, {60, 200, 90}, {250, 180, 40}};
  for (int k = 0; k < 5; ++k) {
    Ellipse(cr, 24 + 22 * k, 47, 2.6, 2.6);
    FillRadial(cr, 23.4 + 22 * k, 46.4, 3.4, {{0, Mix(lights[k], kWhite, 0.6)}, {1, lights[k]}});
    cairo_new_path(cr);
  }
  cairo_restore(cr);
}

void Computer(cairo_t* cr) {
  cairo_save(cr);
  // Stand.
  cairo_move_to(cr, 74, 100);
  cairo_line_to(cr, 96, 100);
  cairo_line_to(cr, 102, 120);
  cairo_line_to(cr, 68, 120);
  cairo_close_path(cr);
  Metal(cr, 100, 120);
  cairo_new_path(cr);
  Ellipse(cr, 85, 121, 30, 4.5);
  Metal(cr, 116, 126);
  cairo_new_path(cr);
  // Monitor with a search window on its screen.
  RoundedRect(cr, 6, 0, 158, 102, 6);
  FillLinear(cr, 0, 0, 0, 102, {{0, {70, 75, 84}}, {1, {30, 33, 38}}});
  cairo_new_path(cr);
  cairo_rectangle(cr, 13, 7, 144, 86);
  FillLinear(cr, 0, 7, 0, 93, {{0, {232, 240, 248}}, {1, {206, 222, 238}}});
  cairo_new_path(cr);
  cairo_rectangle(cr, 22, 15, 126, 70);
  SetColour(cr, {250, 251, 252});
  cairo_fill(cr);
  cairo_rectangle(cr, 22, 15, 126, 9);
  SetColour(cr, kNavy);
  cairo_fill(cr);
  for (int row = 0; row < 5; ++row) {
    const double y = 30 + row * 10;
    if (row == 1) {
      cairo_rectangle(cr, 26, y - 2.5, 76, 8);
      SetColour(cr, kBrand);
      cairo_fill(cr);
    }
    const Rgb ink = row == 1 ? kWhite : Rgb{150, 158, 168};
    cairo_rectangle(cr, 29, y, 10, 3);
    cairo_rectangle(cr, 44, y, 26, 3);
    cairo_rectangle(cr, 74, y, 24, 3);
    SetColour(cr, ink);
    cairo_fill(cr);
  }
  RoundedRect(cr, 108, 30, 34, 48, 2);
  SetColour(cr, {226, 232, 240});
  cairo_fill(cr);
  for (int row = 0; row < 5; ++row) {
    cairo_rectangle(cr, 112, 34 + row * 8, 26, 3);
    SetColour(cr, {170, 180, 192});
    cairo_fill(cr);
  }
  // Screen glare.
  cairo_move_to(cr, 13, 7);
  cairo_line_to(cr, 70, 7);
  cairo_line_to(cr, 13, 60);
  cairo_close_path(cr);
  SetColour(cr, kWhite, 0.18);
  cairo_fill(cr);
  // Keyboard and mouse.
  cairo_move_to(cr, 26, 130);
  cairo_line_to(cr, 134, 130);
  cairo_line_to(cr, 142, 148);
  cairo_line_to(cr, 18, 148);
  cairo_close_path(cr);
  FillLinear(cr, 0, 130, 0, 148, {{0, {236, 239, 243}}, {1, {200, 206, 214}}});
  Stroke(cr, kOutline, 0.8);
  cairo_new_path(cr);
  for (int row = 0; row < 3; ++row) {
    const double y = 133 + row * 4.6;
    const double inset = 8 - row * 2.4;
    for (int k = 0; k < 14; ++k) {
      const double x0 = 26 + inset + k * (108 - 2 * inset + row * 4.8) / 14 - row * 2.4;
      cairo_rectangle(cr, x0, y, 5.6, 3);
    }
  }
  SetColour(cr, {160, 168, 180});
  cairo_fill(cr);
  Ellipse(cr, 158, 140, 7, 9);
  FillLinear(cr, 151, 0, 165, 0, {{0, {244, 246, 249}}, {1, {196, 203, 212}}});
  Stroke(cr, kOutline, 0.8);
  cairo_new_path(cr);
  cairo_restore(cr);
}

void WallSocket(cairo_t* cr) {
  cairo_save(cr);
  RoundedRect(cr, 0, 0, 50, 50, 8);
  FillLinear(cr, 0, 0, 0, 50, {{0, {255, 255, 255}}, {1, {226, 230, 236}}});
  Stroke(cr, kOutline, 0.9);
  cairo_new_path(cr);
  Ellipse(cr, 25, 25, 17, 17);
  FillLinear(cr, 0, 8, 0, 42, {{0, {214, 219, 226}}, {1, {244, 246, 249}}});
  cairo_new_path(cr);
  for (double x : {18.0, 30.0}) {
    RoundedRect(cr, x, 18, 3, 10, 1);
    SetColour(cr, {40, 44, 50});
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

void Wall(cairo_t* cr, double w, double h) {
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, w, h);
  SetColour(cr, {222, 214, 204});
  cairo_fill(cr);
  const double brickW = 30, brickH = 12;
  int row = 0;
  for (double y = -2; y < h; y += brickH, ++row) {
    for (double x = (row % 2) ? -brickW / 2 : 0; x < w; x += brickW) {
      cairo_rectangle(cr, x + 1, y + 1, brickW - 2, brickH - 2);
      const double tone = ((row * 7 + static_cast<int>(x) / 30 * 3) % 5) / 4.0;
      SetColour(cr, Mix({236, 226, 212}, {230, 216, 200}, tone));
      cairo_fill(cr);
    }
  }
  cairo_restore(cr);
}

void LensMark(cairo_t* cr, double r) {
  cairo_save(cr);
  Ellipse(cr, 0, 0, r, r);
  SetColour(cr, kWhite);
  cairo_fill(cr);
  Ellipse(cr, 0, 0, r * 0.78, r * 0.78);
  FillLinear(cr, 0, -r, 0, r, {{0, {60, 200, 250}}, {1, {10, 120, 205}}});
  cairo_new_path(cr);
  Ellipse(cr, 0, 0, r * 0.46, r * 0.46);
  FillRadial(cr, -r * 0.12, -r * 0.12, r * 0.6, {{0, {40, 70, 110}}, {0.6, {12, 24, 44}}, {1, {4, 8, 16}}});
  cairo_new_path(cr);
  Ellipse(cr, -r * 0.16, -r * 0.18, r * 0.13, r * 0.13);
  SetColour(cr, kWhite, 0.85);
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace artgen
