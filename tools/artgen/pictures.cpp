#include "pictures.h"

#include <cmath>

#include "canvas.h"
#include "objects.h"

namespace artgen {

namespace {

// ---- the frame: banner, logo, buttons, text and column backgrounds ----

// The top band's colours depend on the height only, so that the banner, the
// title and the logo, each stretched to its own width, join without a seam.
// Drawn in a 60-pixel-high space, the height the band has on screen.
void Band(cairo_t* cr, double w) {
  cairo_rectangle(cr, 0, 0, w, 60);
  FillLinear(cr, 0, 0, 0, 60, {{0, {34, 132, 204}}, {0.55, {14, 90, 160}}, {1, {8, 64, 120}}});
  cairo_new_path(cr);
  cairo_rectangle(cr, 0, 0, w, 27);
  FillLinear(cr, 0, 0, 0, 27, {{0, kWhite, 0.16}, {1, kWhite, 0.04}});
  cairo_new_path(cr);
  cairo_rectangle(cr, 0, 57, w, 3);
  SetColour(cr, kBrand);
  cairo_fill(cr);
}

void Banner(cairo_t* cr, int w, int h) {
  cairo_scale(cr, 1, h / 60.0);
  Band(cr, w);
}

void Logo(cairo_t* cr, int w, int h) {
  cairo_scale(cr, w / 200.0, h / 60.0);
  Band(cr, 200);
  cairo_save(cr);
  cairo_translate(cr, 31, 29);
  LensMark(cr, 18);
  cairo_restore(cr);
  Text(cr, "Oskaro", "Liberation Sans Bold 21", 58, 11, kWhite, true);
  Text(cr, "NETWORK CAMERA", "Liberation Sans Bold 6.5", 59.5, 38, {150, 215, 245}, true);
  // The banner starts right after the logo; the stretched edges of the two
  // meet in a light line, which this engraved divider makes deliberate.
  cairo_rectangle(cr, 197, 4, 1, 50);
  SetColour(cr, {0, 0, 0}, 0.18);
  cairo_fill(cr);
  cairo_rectangle(cr, 198, 4, 1.2, 50);
  SetColour(cr, kWhite, 0.28);
  cairo_fill(cr);
}

// A rounded push button drawn for the size it has on screen (w x h), then
// stretched to the bitmap: its corners and border come out even there. The
// body sits a little low because the button's text is drawn below the middle.
void PushButton(cairo_t* cr, int bw, int bh, double w, double h, double top, Stop s0, Stop s1, Stop s2, Rgb border) {
  cairo_scale(cr, bw / w, bh / h);
  RoundedRect(cr, 1, top, w - 2, h - top - 0.6, 5);
  FillLinear(cr, 0, top, 0, h, {s0, s1, s2});
  Stroke(cr, border, 1);
  cairo_new_path(cr);
  RoundedRect(cr, 2, top + 1, w - 4, (h - top) * 0.45, 4);
  SetColour(cr, kWhite, 0.16);
  cairo_fill(cr);
}

void BottomButton(cairo_t* cr, int w, int h) {
  PushButton(cr, w, h, 100, 30, 5, {0, {251, 252, 253}}, {0.5, {238, 241, 245}}, {1, {220, 225, 232}},
             {172, 182, 196});
}

void NextButton(cairo_t* cr, int w, int h) {
  PushButton(cr, w, h, 110, 25, 3, {0, {58, 190, 246}}, {0.5, {18, 150, 222}}, {1, {8, 112, 190}}, {8, 98, 168});
}

void PreviousButton(cairo_t* cr, int w, int h) {
  PushButton(cr, w, h, 120, 25, 3, {0, {150, 166, 186}}, {0.5, {116, 132, 154}}, {1, {88, 104, 126}},
             {76, 90, 110});
}

// Texts lie on it at every size from 100 x 20 to 600 x 40 and beside each
// other: it must be the window's own grey, or every text would sit in a box.
void TextBackground(cairo_t* cr, int w, int h) {
  cairo_rectangle(cr, 0, 0, w, h);
  SetColour(cr, kWindowGrey);
  cairo_fill(cr);
}

// The left column's steps (193 x 60 on screen) and its 3-pixel dividers.
void Column(cairo_t* cr, int w, int h) {
  cairo_scale(cr, w / 193.0, h / 60.0);
  cairo_rectangle(cr, 0, 0, 193, 60);
  FillLinear(cr, 0, 0, 0, 60, {{0, {232, 239, 247}}, {1, {206, 218, 232}}});
  cairo_new_path(cr);
  cairo_rectangle(cr, 0, 0, 193, 1);
  SetColour(cr, kWhite, 0.8);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 59, 193, 1);
  SetColour(cr, {170, 186, 206});
  cairo_fill(cr);
  cairo_rectangle(cr, 192, 0, 1, 60);
  SetColour(cr, {186, 200, 218});
  cairo_fill(cr);
}

// ---- what the box holds ----

void CameraPicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  cairo_translate(cr, 20, 22);
  cairo_scale(cr, 0.9, 0.9);
  cairo_rotate(cr, 0.1);
  Pigtail(cr);
  BulletCamera(cr);
}

void AdapterPicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  cairo_translate(cr, 28, 22);
  cairo_scale(cr, 1.05, 1.05);
  PowerAdapter(cr);
}

void CablePicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  cairo_translate(cr, 16, 14);
  CableCoil(cr);
}

void BracketPicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  cairo_translate(cr, 26, 28);
  cairo_scale(cr, 1.2, 1.2);
  Bracket(cr);
}

void ScrewsPicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  for (int i = 0; i < 3; ++i) {
    cairo_save(cr);
    cairo_translate(cr, 30 + i * 8, 36 + i * 19);
    cairo_rotate(cr, -0.18);
    cairo_scale(cr, 1.5, 1.5);
    Screw(cr);
    cairo_restore(cr);
  }
  for (int i = 0; i < 3; ++i) {
    cairo_save(cr);
    cairo_translate(cr, 24 + i * 8, 100 + i * 14);
    cairo_rotate(cr, -0.18);
    cairo_scale(cr, 1.6, 1.6);
    WallPlug(cr);
    cairo_restore(cr);
  }
}

// ---- connecting and mounting ----

constexpr Rgb kArrow{240, 130, 20};

void StepBadge(cairo_t* cr, int number) {
  Ellipse(cr, 20, 20, 10, 10);
  SetColour(cr, kBrand);
  cairo_fill(cr);
  const std::string digit(1, static_cast<char>('0' + number));
  double tw, th;
  TextSize(cr, digit, "Liberation Sans Bold 10", &tw, &th);
  Text(cr, digit, "Liberation Sans Bold 10", 20 - tw / 2, 20 - th / 2, kWhite);
}

void PlugInCameraPicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  cairo_save(cr);
  cairo_translate(cr, 22, 30);
  cairo_scale(cr, 0.84, 0.84);
  Pigtail(cr);
  BulletCamera(cr);
  cairo_restore(cr);
  // The network cable comes in from the right into the camera's socket.
  cairo_move_to(cr, 148, 118);
  cairo_curve_to(cr, 118, 118, 130, 102, 98, 102);
  Cable(cr, kCableBlue, 4);
  cairo_save(cr);
  cairo_translate(cr, 98, 102);
  cairo_rotate(cr, M_PI);
  NetworkPlug(cr, kCableBlue);
  cairo_restore(cr);
  Arrow(cr, 104, 84, 70, 84, 3, kArrow);
  StepBadge(cr, 1);
}

void PlugInRouterPicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  cairo_save(cr);
  cairo_translate(cr, 11, 66);
  cairo_scale(cr, 0.8, 0.8);
  Router(cr);
  cairo_restore(cr);
  // The plug goes down into the router's third port.
  const double portX = 11 + (24 + 22 * 2) * 0.8;
  cairo_move_to(cr, portX + 30, 10);
  cairo_curve_to(cr, portX + 30, 40, portX, 24, portX, 50);
  Cable(cr, kCableBlue, 4);
  cairo_save(cr);
  cairo_translate(cr, portX, 50);
  cairo_rotate(cr, M_PI / 2);
  NetworkPlug(cr, kCableBlue);
  cairo_restore(cr);
  Arrow(cr, portX - 22, 40, portX - 22, 74, 3, kArrow);
  StepBadge(cr, 2);
}

void PowerUpPicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  cairo_save(cr);
  cairo_translate(cr, 16, 22);
  WallSocket(cr);
  cairo_restore(cr);
  // The adapter sits in the socket; its plug goes into the camera's power socket.
  cairo_save(cr);
  cairo_translate(cr, 20, 12);
  cairo_scale(cr, 0.8, 0.8);
  PowerAdapter(cr);
  cairo_restore(cr);
  const double angle = 0.25;
  cairo_save(cr);
  cairo_translate(cr, 112, 103);
  cairo_rotate(cr, angle);
  cairo_move_to(cr, 15, 0);
  cairo_curve_to(cr, 30, 0, 26, 24, 40, 34);
  Cable(cr, kCableGrey, 2.6);
  RoundedRect(cr, 0, -4.5, 16, 9, 2);
  FillLinear(cr, 0, -4.5, 0, 4.5, {{0, {84, 88, 96}}, {1, {24, 26, 30}}});
  cairo_new_path(cr);
  Ellipse(cr, 0.8, 0, 1.4, 3.2);
  SetColour(cr, {10, 10, 12});
  cairo_fill(cr);
  cairo_restore(cr);
  Arrow(cr, 84, 80, 108, 86, 3, kArrow);
  StepBadge(cr, 3);
}

void WallFrame(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  Wall(cr, w, h);
}

void DrillPicture(cairo_t* cr, int w, int h) {
  WallFrame(cr, w, h);
  // Where the plate goes, marked in pencil, with its two holes drilled.
  RoundedRect(cr, 60, 30, 26, 86, 6);
  const double dash[] = {4, 3};
  cairo_set_dash(cr, dash, 2, 0);
  Stroke(cr, {110, 104, 98}, 1);
  cairo_set_dash(cr, nullptr, 0, 0);
  cairo_new_path(cr);
  for (double y : {44.0, 102.0}) {
    Ellipse(cr, 73, y, 5, 5);
    FillRadial(cr, 74, y + 1, 6, {{0, {40, 36, 32}}, {1, {96, 88, 80}}});
    cairo_new_path(cr);
  }
  // One plug is in, the other on its way.
  Ellipse(cr, 73, 44, 4.5, 4.5);
  SetColour(cr, {238, 208, 96});
  cairo_fill(cr);
  Ellipse(cr, 73, 44, 2, 2);
  SetColour(cr, {150, 110, 30});
  cairo_fill(cr);
  cairo_save(cr);
  cairo_translate(cr, 86, 110);
  cairo_rotate(cr, 0.5);
  cairo_scale(cr, 1.5, 1.5);
  WallPlug(cr);
  cairo_restore(cr);
  Arrow(cr, 126, 110, 96, 94, 3, kArrow);
  StepBadge(cr, 4);
}

void ScrewPlatePicture(cairo_t* cr, int w, int h) {
  WallFrame(cr, w, h);
  // The bracket's plate, face on, with its arm coming towards us.
  SoftShadow(cr, 61, 32, 26, 86, 6, 3, 0.18);
  RoundedRect(cr, 60, 30, 26, 86, 6);
  FillLinear(cr, 60, 0, 86, 0, {{0, {252, 253, 254}}, {1, {214, 220, 228}}});
  Stroke(cr, {132, 142, 154}, 0.9);
  cairo_new_path(cr);
  Ellipse(cr, 73, 73, 9, 9);
  FillRadial(cr, 70, 70, 11, {{0, {255, 255, 255}}, {0.6, {226, 231, 237}}, {1, {170, 178, 188}}});
  Stroke(cr, {132, 142, 154}, 0.8);
  cairo_new_path(cr);
  for (double y : {44.0, 102.0}) {
    Ellipse(cr, 73, y, 5, 5);
    FillRadial(cr, 72, y - 1, 6, {{0, {240, 242, 245}}, {1, {130, 136, 144}}});
    cairo_new_path(cr);
    cairo_move_to(cr, 70, y);
    cairo_line_to(cr, 76, y);
    cairo_move_to(cr, 73, y - 3);
    cairo_line_to(cr, 73, y + 3);
    Stroke(cr, {90, 96, 104}, 1.1);
    cairo_new_path(cr);
  }
  // Screwdriver on the lower screw, turning it in.
  cairo_save(cr);
  cairo_translate(cr, 73, 102);
  cairo_rotate(cr, -0.75);
  cairo_rectangle(cr, 4, -1.6, 30, 3.2);
  FillLinear(cr, 0, -1.6, 0, 1.6, {{0, {150, 156, 164}}, {0.4, {236, 239, 242}}, {1, {110, 116, 124}}});
  cairo_new_path(cr);
  RoundedRect(cr, 34, -6, 34, 12, 5);
  FillLinear(cr, 0, -6, 0, 6, {{0, {255, 170, 80}}, {0.5, {240, 120, 20}}, {1, {190, 80, 10}}});
  cairo_new_path(cr);
  for (int i = 0; i < 3; ++i) {
    cairo_move_to(cr, 40 + i * 8, -4);
    cairo_line_to(cr, 40 + i * 8, 4);
  }
  Stroke(cr, {180, 80, 10}, 1);
  cairo_new_path(cr);
  cairo_restore(cr);
  ArcArrow(cr, 73, 102, 17, M_PI * 0.95, M_PI * 0.35, 2.6, kArrow);
  StepBadge(cr, 5);
}

void AimPicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  // The wall in section on the left.
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, 22, h);
  cairo_clip(cr);
  Wall(cr, 22, h);
  cairo_restore(cr);
  cairo_move_to(cr, 22, 6);
  cairo_line_to(cr, 22, h - 7);
  Stroke(cr, {190, 178, 164}, 1);
  cairo_new_path(cr);
  // What the camera sees, and the camera on its bracket, tilted down.
  cairo_move_to(cr, 118, 70);
  cairo_line_to(cr, 160, 74);
  cairo_line_to(cr, 160, 150);
  cairo_close_path(cr);
  FillLinear(cr, 118, 0, 150, 0, {{0, kBrand, 0.35}, {1, kBrand, 0.05}});
  cairo_new_path(cr);
  cairo_save(cr);
  cairo_translate(cr, 22, 72);
  cairo_scale(cr, 0.8, 0.8);
  Bracket(cr);
  cairo_translate(cr, 64, 0);
  cairo_rotate(cr, 0.2);
  cairo_translate(cr, -46, -46);
  BulletCamera(cr);
  cairo_restore(cr);
  ArcArrow(cr, 73, 93, 26, M_PI * 0.1, M_PI * 0.42, 2.6, kArrow);
  StepBadge(cr, 6);
}

// ---- what to prepare ----

void RouterPicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  const double scale = 1.05, x0 = 16, y0 = 72;
  for (int k : {0, 3}) {
    const double x = x0 + (24 + 22 * k) * scale;
    cairo_move_to(cr, x, y0 + 70 * scale);
    cairo_curve_to(cr, x, y0 + 120, x + (k == 0 ? -20 : 30), 170, x + (k == 0 ? -26 : 40), 196);
    Cable(cr, k == 0 ? kCableBlue : Rgb{150, 156, 166}, 4);
  }
  cairo_save(cr);
  cairo_translate(cr, x0, y0);
  cairo_scale(cr, scale, scale);
  Router(cr);
  // Plugs in two ports: the clear body fills the port, the boot hangs below.
  for (int k : {0, 3}) {
    const Rgb boot = k == 0 ? kCableBlue : Rgb{150, 156, 166};
    const double x = 24 + 22 * k;
    RoundedRect(cr, x - 6, 64, 12, 11, 1);
    SetColour(cr, {214, 222, 232});
    cairo_fill(cr);
    RoundedRect(cr, x - 5, 74, 10, 12, 2.5);
    FillLinear(cr, x - 5, 0, x + 5, 0, {{0, Mix(boot, kWhite, 0.35)}, {0.5, boot}, {1, Mix(boot, {0, 0, 0}, 0.35)}});
    cairo_new_path(cr);
  }
  cairo_restore(cr);
  // Wireless signal above the router.
  for (int i = 1; i <= 3; ++i) {
    cairo_new_path(cr);
    cairo_arc(cr, 100, 62, 12 * i, M_PI * 1.25, M_PI * 1.75);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    Stroke(cr, kBrand, 4, 1.0 - 0.2 * i);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  }
  cairo_new_path(cr);
}

void ComputerPicture(cairo_t* cr, int w, int h) {
  Card(cr, w, h);
  cairo_translate(cr, 16, 30);
  cairo_scale(cr, 0.98, 0.98);
  Computer(cr);
}

// ---- page 0 ----

void Welcome(cairo_t* cr, int w, int h, const char* slogan, const char* font) {
  RoundedRect(cr, 1.5, 1.5, w - 3, h - 3, 12);
  FillLinear(cr, 0, 0, w, h, {{0, {230, 245, 253}}, {1, {190, 225, 247}}});
  Stroke(cr, {176, 210, 234}, 1);
  cairo_save(cr);
  cairo_clip(cr);
  Ellipse(cr, w - 40, 6, 70, 70);
  SetColour(cr, kWhite, 0.25);
  cairo_fill(cr);
  Ellipse(cr, 40, h + 10, 80, 50);
  SetColour(cr, kWhite, 0.2);
  cairo_fill(cr);
  // Camera on its bracket looking out over the text.
  cairo_translate(cr, 10, 34);
  cairo_scale(cr, 0.82, 0.82);
  Bracket(cr);
  cairo_translate(cr, 64, 0);
  cairo_rotate(cr, 0.12);
  cairo_translate(cr, -46, -46);
  BulletCamera(cr);
  cairo_restore(cr);
  for (int i = 1; i <= 3; ++i) {
    cairo_new_path(cr);
    cairo_arc(cr, 116, 34, 8 * i, -M_PI * 0.3, M_PI * 0.15);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    Stroke(cr, kBrand, 3, 1.0 - 0.22 * i);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  }
  cairo_new_path(cr);
  Text(cr, slogan, font, 150, 28, kNavy, true);
  Text(cr, "Oskaro IP Camera", "Liberation Sans Bold 10.5", 151, 70, {10, 120, 190}, true);
  cairo_rectangle(cr, 151, 88, 40, 3);
  SetColour(cr, kBrand);
  cairo_fill(cr);
}

// The picture for both Chinese scripts: these four characters are written
// the same way in each.
void WelcomeChinese(cairo_t* cr, int w, int h) { Welcome(cr, w, h, "即插即用", "WenQuanYi Micro Hei Bold 24"); }

void WelcomeEnglish(cairo_t* cr, int w, int h) {
  Welcome(cr, w, h, "Plug and Play", "Liberation Sans Bold 15");
}

}  // namespace

const std::vector<Picture>& Pictures() {
  static const std::vector<Picture> pictures = {
      {129, 405, 67, 24, BottomButton},      {131, 130, 33, 24, Banner},
      {133, 363, 99, 24, NextButton},        {135, 213, 66, 24, PreviousButton},
      {137, 150, 150, 24, BracketPicture},   {138, 150, 150, 24, ScrewsPicture},
      {139, 150, 150, 24, CameraPicture},    {140, 150, 150, 24, AdapterPicture},
      {141, 214, 58, 8, Logo},               {142, 405, 66, 24, TextBackground},
      {143, 395, 195, 24, Column},           {147, 150, 150, 24, CablePicture},
      {148, 150, 150, 24, PlugInCameraPicture}, {149, 150, 150, 24, PlugInRouterPicture},
      {150, 150, 150, 24, PowerUpPicture},   {151, 150, 150, 24, DrillPicture},
      {152, 150, 150, 24, ScrewPlatePicture}, {153, 150, 150, 24, AimPicture},
      {157, 200, 200, 24, ComputerPicture},  {158, 200, 200, 24, RouterPicture},
      {165, 300, 120, 24, WelcomeChinese},   {167, 300, 120, 24, WelcomeEnglish},
  };
  return pictures;
}

void DrawIcon(cairo_t* cr, int size) {
  const double s = size;
  RoundedRect(cr, s * 0.04, s * 0.04, s * 0.92, s * 0.92, s * 0.2);
  FillLinear(cr, 0, 0, 0, s, {{0, {44, 178, 240}}, {1, {10, 82, 156}}});
  cairo_new_path(cr);
  cairo_translate(cr, s / 2, s / 2);
  LensMark(cr, s * 0.33);
}

void DrawSearchIcon(cairo_t* cr, int size) {
  const double s = size;
  RoundedRect(cr, s * 0.04, s * 0.04, s * 0.92, s * 0.92, s * 0.2);
  FillLinear(cr, 0, 0, 0, s, {{0, {64, 196, 142}}, {1, {16, 112, 84}}});
  cairo_new_path(cr);
  // A magnifying glass whose lens is the kit's camera lens.
  const double cx = s * 0.42, cy = s * 0.42, r = s * 0.25;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, cx + r * 0.9, cy + r * 0.9);
  cairo_line_to(cr, s * 0.8, s * 0.8);
  Stroke(cr, kWhite, s * 0.11);
  cairo_new_path(cr);
  cairo_translate(cr, cx, cy);
  LensMark(cr, r);
}

}  // namespace artgen
