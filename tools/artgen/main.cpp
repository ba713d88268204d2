// artgen: draws the setup wizard's bitmaps and the icons of the wizard and
// the search window.
//
//   artgen RES_DIR [--preview DIR]
//
// Writes RES_DIR/bmpNNN.bmp for every bitmap, RES_DIR/bitmaps.cmake listing
// them for the wizard's build, RES_DIR/icons/tavrinsetup-SIZE.png and
// RES_DIR/icons/keplin-search-SIZE.png. With
// --preview, also writes each bitmap as DIR/bmpNNN.png for viewing. The
// output depends only on this program and the fonts, so a second run writes
// the same bytes.
#include <cairo.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bmp.h"
#include "canvas.h"
#include "pictures.h"

namespace {

constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

cairo_surface_t* Render(const artgen::Picture& picture) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.width, picture.height);
  cairo_t* cr = cairo_create(surface);
  artgen::SetColour(cr, artgen::kWindowGrey);
  cairo_paint(cr);
  picture.draw(cr, picture.width, picture.height);
  cairo_destroy(cr);
  return surface;
}

bool WriteIcon(void (*draw)(cairo_t*, int), int size, const std::string& path) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(surface);
  draw(cr, size);
  cairo_destroy(cr);
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

std::string BitmapName(unsigned id) { return "bmp" + std::to_string(id) + ".bmp"; }

bool WriteCmakeList(const std::string& path) {
  std::ofstream out(path, std::ios::trunc);
  out << "# Written by tools/artgen (tools/artgen/regen.sh); do not edit.\n"
         "# The wizard's bitmaps, as keplin_add_resources takes them.\n"
         "set(WIZARD_BITMAPS\n";
  for (const artgen::Picture& p : artgen::Pictures())
    out << "  BITMAP " << p.id << " ${CMAKE_CURRENT_LIST_DIR}/" << BitmapName(p.id) << "\n";
  out << ")\n";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--preview")) {
    std::fprintf(stderr, "usage: %s RES_DIR [--preview DIR]\n", argv[0]);
    return 2;
  }
  const std::filesystem::path res = argv[1];
  const std::filesystem::path preview = argc == 4 ? argv[3] : "";
  std::error_code ec;
  std::filesystem::create_directories(res / "icons", ec);
  if (!preview.empty()) std::filesystem::create_directories(preview, ec);

  bool ok = true;
  for (const artgen::Picture& picture : artgen::Pictures()) {
    cairo_surface_t* image = Render(picture);
    const std::string path = (res / BitmapName(picture.id)).string();
    const bool written = picture.bits == 8 ? artgen::WriteBmp8(image, path) : artgen::WriteBmp24(image, path);
    if (!written) {
      std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
      ok = false;
    }
    if (!preview.empty()) {
      const std::string png = (preview / ("bmp" + std::to_string(picture.id) + ".png")).string();
      cairo_surface_write_to_png(image, png.c_str());
    }
    cairo_surface_destroy(image);
  }
  const struct {
    const char* name;
    void (*draw)(cairo_t*, int);
  } icons[] = {{"tavrinsetup", artgen::DrawIcon}, {"keplin-search", artgen::DrawSearchIcon}};
  for (const auto& icon : icons) {
    for (int size : kIconSizes) {
      const std::string path = (res / "icons" / (std::string(icon.name) + "-" + std::to_string(size) + ".png")).string();
      if (!WriteIcon(icon.draw, size, path)) {
        std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
        ok = false;
      }
    }
  }
  if (!WriteCmakeList((res / "bitmaps.cmake").string())) {
    std::fprintf(stderr, "artgen: cannot write %s\n", (res / "bitmaps.cmake").c_str());
    ok = false;
  }
  return ok ? 0 : 1;
}
