#include "render.h"

#include <cairo-pdf.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace docgen {

namespace {

// A4 in points, and the text area.
constexpr double kPageW = 595.28, kPageH = 841.89;
constexpr double kLeft = 62, kRight = kPageW - 62;
constexpr double kTop = 70, kBottom = kPageH - 66;
constexpr double kWidth = kRight - kLeft;

struct Rgb {
  double r, g, b;
};
constexpr Rgb kBrand{16 / 255.0, 168 / 255.0, 233 / 255.0};
constexpr Rgb kNavy{11 / 255.0, 61 / 255.0, 112 / 255.0};
constexpr Rgb kInk{0.13, 0.14, 0.16};
constexpr Rgb kGrey{0.45, 0.48, 0.52};

void SetColour(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

struct Style {
  double size;  // points
  bool bold;
  double before, after;
  double indent;  // of the text, from the left margin
};

Style StyleOf(BlockKind kind) {
  switch (kind) {
    case BlockKind::Heading1: return {16, true, 18, 8, 0};
    case BlockKind::Heading2: return {12.5, true, 12, 4, 0};
    case BlockKind::Bullet:
    case BlockKind::Numbered: return {10.5, false, 0, 4, 22};
    case BlockKind::Code: return {9, false, 4, 10, 10};
    case BlockKind::Note: return {10.5, false, 6, 12, 16};
    case BlockKind::Paragraph:
    case BlockKind::Figures: break;
  }
  return {10.5, false, 0, 8, 0};
}

// Pictures of the document, decoded once.
class Images {
 public:
  explicit Images(std::string dir) : m_dir(std::move(dir)) {}
  ~Images() {
    for (auto& entry : m_images) cairo_surface_destroy(entry.second);
  }
  Images(const Images&) = delete;
  Images& operator=(const Images&) = delete;

  // The picture, or null when it cannot be read.
  cairo_surface_t* Get(const std::string& name) {
    auto it = m_images.find(name);
    if (it != m_images.end()) return it->second;
    cairo_surface_t* image = LoadBmp(m_dir + "/" + name);
    if (image) m_images[name] = image;
    return image;
  }

 private:
  static std::uint32_t Le(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int k = bytes - 1; k >= 0; --k) v = (v << 8) | b[at + k];
    return v;
  }

  // Uncompressed 24-bit bitmaps, stored bottom-up, as the wizard's are.
  static cairo_surface_t* LoadBmp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> b((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return nullptr;
    const std::uint32_t offset = Le(b, 10, 4);
    const int w = static_cast<int>(Le(b, 18, 4));
    const int h = static_cast<int>(Le(b, 22, 4));
    if (Le(b, 28, 2) != 24 || Le(b, 30, 4) != 0 || w <= 0 || h <= 0 || w > 4096 || h > 4096) return nullptr;
    const std::size_t row = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
    if (offset + row * h > b.size()) return nullptr;
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < h; ++y) {
      const unsigned char* src = &b[offset + row * (h - 1 - y)];
      auto* dst = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
      for (int x = 0; x < w; ++x)
        dst[x] = (std::uint32_t{src[3 * x + 2]} << 16) | (std::uint32_t{src[3 * x + 1]} << 8) | src[3 * x];
    }
    cairo_surface_mark_dirty(image);
    return image;
  }

  std::string m_dir;
  std::map<std::string, cairo_surface_t*> m_images;
};

class Renderer {
 public:
  Renderer(const Document& doc, cairo_surface_t* surface, Images& images)
      : m_doc(doc), m_surface(surface), m_cr(cairo_create(surface)), m_images(images) {
    m_family = doc.lang == "en" ? "Liberation Sans, WenQuanYi Micro Hei" : "WenQuanYi Micro Hei, Liberation Sans";
  }
  ~Renderer() { cairo_destroy(m_cr); }
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // Lays the blocks out once to count the pages, then draws them.
  void Run() {
    // The title band grows with a title or subtitle of two lines.
    Layout title = MakeLayout(Escape(m_doc.title), 22, true, kWidth);
    Layout subtitle = MakeLayout(Escape(m_doc.subtitle), 10.5, false, kWidth);
    m_bandHeight = std::max(110.0, 42 + Height(title.get()) + 2 + Height(subtitle.get()) + 14);
    Flow(false);
    m_pageCount = m_page;
    Flow(true);
  }

  bool MissingImage(std::string* name) const {
    *name = m_missing;
    return !m_missing.empty();
  }

 private:
  using Layout = std::unique_ptr<PangoLayout, decltype(&g_object_unref)>;

  Layout MakeLayout(const std::string& markup, double size, bool bold, double width, bool mono = false) {
    Layout layout(pango_cairo_create_layout(m_cr), &g_object_unref);
    PangoFontDescription* font = pango_font_description_from_string(mono ? "Liberation Mono" : m_family.c_str());
    pango_font_description_set_size(font, static_cast<int>(size * PANGO_SCALE));
    if (bold) pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
    pango_layout_set_font_description(layout.get(), font);
    pango_font_description_free(font);
    pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    if (!mono) pango_layout_set_line_spacing(layout.get(), 1.3f);
    PangoLanguage* language = pango_language_from_string(m_doc.lang.c_str());
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_language_new(language));
    pango_layout_set_attributes(layout.get(), attrs);
    pango_attr_list_unref(attrs);
    // Text that is not valid markup (an unclosed mark) is shown as written.
    if (!pango_parse_markup(markup.c_str(), -1, 0, nullptr, nullptr, nullptr, nullptr))
      pango_layout_set_text(layout.get(), markup.c_str(), -1);
    else
      pango_layout_set_markup(layout.get(), markup.c_str(), -1);
    return layout;
  }

  static double Height(PangoLayout* layout) {
    int w = 0, h = 0;
    pango_layout_get_size(layout, &w, &h);
    return static_cast<double>(h) / PANGO_SCALE;
  }

  // The y (from the layout's top) where each line ends, for page breaks
  // inside a long paragraph.
  static std::vector<double> LineBottoms(PangoLayout* layout) {
    std::vector<double> bottoms;
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    do {
      int y0 = 0, y1 = 0;
      pango_layout_iter_get_line_yrange(it, &y0, &y1);
      bottoms.push_back(static_cast<double>(y1) / PANGO_SCALE);
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    return bottoms;
  }

  void NewPage() {
    if (m_draw && m_page > 0) cairo_show_page(m_cr);
    ++m_page;
    m_y = m_page == 1 ? FirstPageTop() : kTop;
    if (m_draw) DrawPageFrame();
  }

  void DrawPageFrame() {
    if (m_page == 1) {
      cairo_rectangle(m_cr, 0, 0, kPageW, m_bandHeight);
      cairo_pattern_t* band = cairo_pattern_create_linear(0, 0, 0, m_bandHeight);
      cairo_pattern_add_color_stop_rgb(band, 0, 0.13, 0.52, 0.80);
      cairo_pattern_add_color_stop_rgb(band, 1, kNavy.r, kNavy.g, kNavy.b);
      cairo_set_source(m_cr, band);
      cairo_fill(m_cr);
      cairo_pattern_destroy(band);
      cairo_rectangle(m_cr, 0, m_bandHeight, kPageW, 4);
      SetColour(m_cr, kBrand);
      cairo_fill(m_cr);
      DrawText(MakeLayout("Oskaro", 11, true, 200).get(), kLeft, 24, {0.75, 0.9, 1});
      Layout title = MakeLayout(Escape(m_doc.title), 22, true, kWidth);
      DrawText(title.get(), kLeft, 42, {1, 1, 1});
      if (!m_doc.subtitle.empty())
        DrawText(MakeLayout(Escape(m_doc.subtitle), 10.5, false, kWidth).get(), kLeft, 42 + Height(title.get()) + 2,
                 {0.8, 0.92, 1});
    } else {
      DrawText(MakeLayout(Escape(m_doc.title), 8.5, false, kWidth).get(), kLeft, 36, kGrey);
      Layout brand = MakeLayout("Oskaro", 8.5, true, kWidth);
      pango_layout_set_alignment(brand.get(), PANGO_ALIGN_RIGHT);
      DrawText(brand.get(), kLeft, 36, kBrand);
      cairo_rectangle(m_cr, kLeft, 52, kWidth, 0.6);
      SetColour(m_cr, {0.8, 0.83, 0.87});
      cairo_fill(m_cr);
    }
    Layout number = MakeLayout(std::to_string(m_page) + " / " + std::to_string(m_pageCount), 8.5, false, kWidth);
    pango_layout_set_alignment(number.get(), PANGO_ALIGN_CENTER);
    DrawText(number.get(), kLeft, kPageH - 44, kGrey);
  }

  static std::string Escape(const std::string& text) {
    char* escaped = g_markup_escape_text(text.c_str(), -1);
    std::string out = escaped;
    g_free(escaped);
    return out;
  }

  void DrawText(PangoLayout* layout, double x, double y, Rgb colour) {
    if (!m_draw) return;
    SetColour(m_cr, colour);
    cairo_move_to(m_cr, x, y);
    pango_cairo_show_layout(m_cr, layout);
  }

  void Box(double x, double y, double w, double h, Rgb fill, Rgb bar) {
    if (!m_draw) return;
    cairo_rectangle(m_cr, x, y, w, h);
    SetColour(m_cr, fill);
    cairo_fill(m_cr);
    cairo_rectangle(m_cr, x, y, 3, h);
    SetColour(m_cr, bar);
    cairo_fill(m_cr);
  }

  // Height a block needs at the top of its space (headings stay with the
  // first lines of what follows them).
  double MinimumHeight(std::size_t index) {
    const Block& block = m_doc.blocks[index];
    const Style style = StyleOf(block.kind);
    if (block.kind == BlockKind::Heading1 || block.kind == BlockKind::Heading2) {
      Layout layout = MakeLayout(block.markup, style.size, true, kWidth);
      double next = 0;
      if (index + 1 < m_doc.blocks.size()) {
        const BlockKind kind = m_doc.blocks[index + 1].kind;
        const bool heading = kind == BlockKind::Heading1 || kind == BlockKind::Heading2;
        next = heading ? MinimumHeight(index + 1) : std::min(60.0, BlockHeight(index + 1));
      }
      return style.before + Height(layout.get()) + style.after + next;
    }
    return std::min(BlockHeight(index), 40.0);
  }

  double BlockHeight(std::size_t index) {
    const Block& block = m_doc.blocks[index];
    const Style style = StyleOf(block.kind);
    if (block.kind == BlockKind::Figures) return FigureRowHeight(block) + style.after;
    const bool mono = block.kind == BlockKind::Code;
    const double pad = mono ? 12 : block.kind == BlockKind::Note ? 16 : 0;
    Layout layout = MakeLayout(block.markup, style.size, style.bold, kWidth - style.indent - (pad ? 10 : 0), mono);
    return style.before + Height(layout.get()) + pad + style.after;
  }

  double FigureWidth(const Block& block) const {
    const double columns = static_cast<double>(std::max<std::size_t>(3, block.figures.size()));
    return (kWidth - (columns - 1) * 14) / columns;
  }

  double FigureRowHeight(const Block& block) {
    double tallest = 0;
    const double w = FigureWidth(block);
    for (const Figure& figure : block.figures) {
      cairo_surface_t* image = m_images.Get(figure.file);
      if (!image) {
        m_missing = figure.file;
        continue;
      }
      const double scale = w / cairo_image_surface_get_width(image);
      Layout caption = MakeLayout(figure.caption, 9, false, w);
      tallest = std::max(tallest, cairo_image_surface_get_height(image) * scale + 6 + Height(caption.get()));
    }
    return tallest;
  }

  void Flow(bool draw) {
    m_draw = draw;
    m_page = 0;
    m_outline.clear();
    m_previous = BlockKind::Paragraph;
    NewPage();
    for (std::size_t i = 0; i < m_doc.blocks.size(); ++i) {
      if (m_y + MinimumHeight(i) > kBottom && m_y > kTop + 1 && !(m_page == 1 && m_y <= FirstPageTop())) NewPage();
      PlaceBlock(m_doc.blocks[i]);
    }
  }

  double FirstPageTop() const { return m_bandHeight + 40; }

  static bool IsListItem(BlockKind kind) { return kind == BlockKind::Bullet || kind == BlockKind::Numbered; }

  void PlaceBlock(const Block& block) {
    const Style style = StyleOf(block.kind);
    const bool atTop = m_y <= (m_page == 1 ? FirstPageTop() : kTop);
    // A list ends with a little more room than its items have between them.
    const bool afterList = IsListItem(m_previous) && !IsListItem(block.kind);
    m_previous = block.kind;
    if (!atTop) m_y += style.before + (afterList ? 6 : 0);
    switch (block.kind) {
      case BlockKind::Heading1:
      case BlockKind::Heading2: {
        Layout layout = MakeLayout(block.markup, style.size, true, kWidth);
        DrawText(layout.get(), kLeft, m_y, block.kind == BlockKind::Heading1 ? kNavy : kInk);
        AddOutline(block);
        m_y += Height(layout.get());
        if (block.kind == BlockKind::Heading1 && m_draw) {
          cairo_rectangle(m_cr, kLeft, m_y + 2, kWidth, 1);
          SetColour(m_cr, kBrand);
          cairo_fill(m_cr);
        }
        m_y += style.after;
        return;
      }
      case BlockKind::Figures: PlaceFigures(block); return;
      case BlockKind::Code:
      case BlockKind::Note: {
        const bool code = block.kind == BlockKind::Code;
        Layout layout = MakeLayout(block.markup, style.size, false, kWidth - style.indent - 10, code);
        const double h = Height(layout.get()) + (code ? 12 : 16);
        if (m_y + h > kBottom) NewPage();
        Box(kLeft, m_y, kWidth, h, code ? Rgb{0.94, 0.95, 0.96} : Rgb{0.91, 0.96, 0.99},
            code ? Rgb{0.75, 0.78, 0.82} : kBrand);
        DrawText(layout.get(), kLeft + style.indent, m_y + (code ? 6 : 8), kInk);
        m_y += h + style.after;
        return;
      }
      case BlockKind::Bullet:
      case BlockKind::Numbered:
      case BlockKind::Paragraph: break;
    }
    Layout layout = MakeLayout(block.markup, style.size, false, kWidth - style.indent);
    if (block.kind != BlockKind::Paragraph) {
      const std::string mark = block.kind == BlockKind::Bullet ? "\u2022" : Escape(block.label);
      Layout label = MakeLayout(mark, style.size, block.kind == BlockKind::Numbered, style.indent - 6);
      pango_layout_set_alignment(label.get(), PANGO_ALIGN_RIGHT);
      if (m_y + 20 > kBottom) NewPage();
      DrawText(label.get(), kLeft, m_y, block.kind == BlockKind::Bullet ? kBrand : kNavy);
    }
    PlaceLines(layout.get(), kLeft + style.indent);
    m_y += style.after;
  }

  // Draws a layout, continuing on the next page where it does not fit.
  void PlaceLines(PangoLayout* layout, double x) {
    const std::vector<double> bottoms = LineBottoms(layout);
    double shown = 0;  // layout y already drawn
    std::size_t line = 0;
    while (line < bottoms.size()) {
      std::size_t last = line;
      while (last < bottoms.size() && m_y + bottoms[last] - shown <= kBottom) ++last;
      // No line of a paragraph alone at the foot or the head of a page.
      if (last < bottoms.size()) {
        if (bottoms.size() - last == 1) last = last - line >= 3 ? last - 1 : line;
        if (last - line == 1) last = line;
      }
      if (last == line) {
        NewPage();
        continue;
      }
      const double end = bottoms[last - 1];
      if (m_draw) {
        cairo_save(m_cr);
        cairo_rectangle(m_cr, x - 2, m_y, kWidth + 4, end - shown);
        cairo_clip(m_cr);
        DrawText(layout, x, m_y - shown, kInk);
        cairo_restore(m_cr);
      }
      m_y += end - shown;
      shown = end;
      line = last;
      if (line < bottoms.size()) NewPage();
    }
  }

  void PlaceFigures(const Block& block) {
    const double h = FigureRowHeight(block);
    if (m_y + h > kBottom) NewPage();
    const double w = FigureWidth(block);
    double x = kLeft;
    for (const Figure& figure : block.figures) {
      cairo_surface_t* image = m_images.Get(figure.file);
      if (!image) continue;
      const double scale = w / cairo_image_surface_get_width(image);
      const double ih = cairo_image_surface_get_height(image) * scale;
      if (m_draw) {
        cairo_save(m_cr);
        cairo_translate(m_cr, x, m_y);
        cairo_scale(m_cr, scale, scale);
        cairo_set_source_surface(m_cr, image, 0, 0);
        cairo_paint(m_cr);
        cairo_restore(m_cr);
      }
      Layout caption = MakeLayout(figure.caption, 9, false, w);
      DrawText(caption.get(), x, m_y + ih + 6, kInk);
      x += w + 14;
    }
    m_y += h + StyleOf(BlockKind::Figures).after;
  }

  void AddOutline(const Block& block) {
    if (!m_draw) return;
    const int parent = block.kind == BlockKind::Heading2 && !m_outline.empty() ? m_outline.back()
                                                                                : CAIRO_PDF_OUTLINE_ROOT;
    const std::string link = "page=" + std::to_string(m_page) + " pos=[" + std::to_string(kLeft) + " " +
                             std::to_string(m_y) + "]";
    const int id = cairo_pdf_surface_add_outline(m_surface, parent, block.plain.c_str(), link.c_str(),
                                                 CAIRO_PDF_OUTLINE_FLAG_OPEN);
    if (block.kind == BlockKind::Heading1) m_outline.push_back(id);
  }

  const Document& m_doc;
  cairo_surface_t* m_surface;
  cairo_t* m_cr;
  Images& m_images;
  std::string m_family;
  std::string m_missing;
  bool m_draw = false;
  int m_page = 0;
  int m_pageCount = 0;
  double m_y = 0;
  double m_bandHeight = 110;
  BlockKind m_previous = BlockKind::Paragraph;
  std::vector<int> m_outline;  // outline ids of the first-level headings
};

// The document's date: SOURCE_DATE_EPOCH when the build gives one, so that
// a rebuild writes the same file.
std::string CreationDate() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  const std::time_t t = epoch ? static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10)) : std::time(nullptr);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace

bool RenderPdf(const Document& doc, const std::string& imageDir, const std::string& path, std::string* error) {
  cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), kPageW, kPageH);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    *error = "cannot create " + path;
    cairo_surface_destroy(surface);
    return false;
  }
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, doc.title.c_str());
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_AUTHOR, "Oskaro");
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_SUBJECT, doc.subtitle.c_str());
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, CreationDate().c_str());
  Images images(imageDir);
  std::string missing;
  bool ok = true;
  {
    Renderer renderer(doc, surface, images);
    renderer.Run();
    if (renderer.MissingImage(&missing)) {
      *error = "picture not found or not a 24-bit bitmap: " + imageDir + "/" + missing;
      ok = false;
    }
  }
  cairo_surface_finish(surface);
  if (ok && cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot write ") + path + ": " + cairo_status_to_string(cairo_surface_status(surface));
    ok = false;
  }
  cairo_surface_destroy(surface);
  return ok;
}

}  // namespace docgen
