#include "bmp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <vector>

namespace artgen {

namespace {

using Colour = std::array<std::uint8_t, 3>;  // red, green, blue

constexpr std::uint32_t kPixelsPerMetre = 3780;  // 96 dots per inch

std::vector<Colour> ReadPixels(cairo_surface_t* image) {
  cairo_surface_flush(image);
  const int w = cairo_image_surface_get_width(image);
  const int h = cairo_image_surface_get_height(image);
  const int stride = cairo_image_surface_get_stride(image);
  const unsigned char* data = cairo_image_surface_get_data(image);
  std::vector<Colour> pixels;
  pixels.reserve(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = row[x];
      pixels.push_back({static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                        static_cast<std::uint8_t>(p)});
    }
  }
  return pixels;
}

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::vector<std::uint8_t> Headers(int w, int h, int bits, std::uint32_t paletteSize, std::uint32_t imageSize) {
  std::vector<std::uint8_t> out;
  const std::uint32_t offset = 14 + 40 + paletteSize * 4;
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + imageSize);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(w));
  Put32(out, static_cast<std::uint32_t>(h));  // positive: rows stored bottom-up
  Put16(out, 1);
  Put16(out, static_cast<std::uint32_t>(bits));
  Put32(out, 0);  // no compression
  Put32(out, imageSize);
  Put32(out, kPixelsPerMetre);
  Put32(out, kPixelsPerMetre);
  Put32(out, paletteSize);
  Put32(out, 0);
  return out;
}

bool Save(const std::vector<std::uint8_t>& bytes, const std::string& path) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

// Median cut: split the box with the widest channel range at its median
// until there are `count` boxes; each box's mean is a palette colour. Ties
// are broken by the colour itself, so the palette never depends on the
// sort's whims.
std::vector<Colour> MedianCut(std::vector<Colour> colours, std::size_t count) {
  struct Box {
    std::size_t begin, end;
  };
  auto range = [&](const Box& b, int* channel) {
    int best = -1;
    for (int c = 0; c < 3; ++c) {
      std::uint8_t lo = 255, hi = 0;
      for (std::size_t i = b.begin; i < b.end; ++i) {
        lo = std::min(lo, colours[i][c]);
        hi = std::max(hi, colours[i][c]);
      }
      if (hi - lo > best) {
        best = hi - lo;
        *channel = c;
      }
    }
    return best;
  };
  std::vector<Box> boxes{{0, colours.size()}};
  while (boxes.size() < count) {
    std::size_t widest = boxes.size();
    int widestRange = 0, widestChannel = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      int channel = 0;
      const int r = boxes[i].end - boxes[i].begin > 1 ? range(boxes[i], &channel) : 0;
      if (r > widestRange) {
        widestRange = r;
        widestChannel = channel;
        widest = i;
      }
    }
    if (widest == boxes.size()) break;
    Box& b = boxes[widest];
    const int c = widestChannel;
    std::sort(colours.begin() + b.begin, colours.begin() + b.end, [c](const Colour& x, const Colour& y) {
      return x[c] != y[c] ? x[c] < y[c] : x < y;
    });
    const std::size_t mid = b.begin + (b.end - b.begin) / 2;
    const Box upper{mid, b.end};
    b.end = mid;
    boxes.push_back(upper);
  }
  std::vector<Colour> palette;
  for (const Box& b : boxes) {
    unsigned long sum[3] = {0, 0, 0};
    for (std::size_t i = b.begin; i < b.end; ++i)
      for (int c = 0; c < 3; ++c) sum[c] += colours[i][c];
    const unsigned long n = b.end - b.begin;
    palette.push_back({static_cast<std::uint8_t>((sum[0] + n / 2) / n), static_cast<std::uint8_t>((sum[1] + n / 2) / n),
                       static_cast<std::uint8_t>((sum[2] + n / 2) / n)});
  }
  std::sort(palette.begin(), palette.end());
  palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
  return palette;
}

std::uint8_t Nearest(const std::vector<Colour>& palette, const Colour& c) {
  std::size_t best = 0;
  long bestDistance = -1;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    long d = 0;
    for (int k = 0; k < 3; ++k) {
      const long diff = static_cast<long>(palette[i][k]) - c[k];
      d += diff * diff;
    }
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return static_cast<std::uint8_t>(best);
}

}  // namespace

bool WriteBmp24(cairo_surface_t* image, const std::string& path) {
  const int w = cairo_image_surface_get_width(image);
  const int h = cairo_image_surface_get_height(image);
  const std::vector<Colour> pixels = ReadPixels(image);
  const std::uint32_t rowSize = (static_cast<std::uint32_t>(w) * 3 + 3) & ~3u;
  std::vector<std::uint8_t> out = Headers(w, h, 24, 0, rowSize * h);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const Colour& c = pixels[static_cast<std::size_t>(y) * w + x];
      out.insert(out.end(), {c[2], c[1], c[0]});
    }
    out.resize(out.size() + rowSize - static_cast<std::uint32_t>(w) * 3, 0);
  }
  return Save(out, path);
}

bool WriteBmp8(cairo_surface_t* image, const std::string& path) {
  const int w = cairo_image_surface_get_width(image);
  const int h = cairo_image_surface_get_height(image);
  const std::vector<Colour> pixels = ReadPixels(image);
  const std::vector<Colour> palette = MedianCut(pixels, 256);
  const std::uint32_t rowSize = (static_cast<std::uint32_t>(w) + 3) & ~3u;
  std::vector<std::uint8_t> out =
      Headers(w, h, 8, static_cast<std::uint32_t>(palette.size()), rowSize * h);
  for (const Colour& c : palette) out.insert(out.end(), {c[2], c[1], c[0], 0});
  // Floyd-Steinberg error diffusion keeps the gradients free of bands.
  std::vector<std::uint8_t> indices(pixels.size());
  std::vector<double> error(static_cast<std::size_t>(w + 2) * 2 * 3, 0.0);
  for (int y = 0; y < h; ++y) {
    double* current = &error[static_cast<std::size_t>(y % 2) * (w + 2) * 3];
    double* next = &error[static_cast<std::size_t>((y + 1) % 2) * (w + 2) * 3];
    std::fill(next, next + (w + 2) * 3, 0.0);
    for (int x = 0; x < w; ++x) {
      const Colour& source = pixels[static_cast<std::size_t>(y) * w + x];
      Colour wanted;
      for (int c = 0; c < 3; ++c)
        wanted[c] = static_cast<std::uint8_t>(std::lround(std::clamp(source[c] + current[(x + 1) * 3 + c], 0.0, 255.0)));
      const std::uint8_t index = Nearest(palette, wanted);
      indices[static_cast<std::size_t>(y) * w + x] = index;
      for (int c = 0; c < 3; ++c) {
        const double e = static_cast<double>(wanted[c]) - palette[index][c];
        current[(x + 2) * 3 + c] += e * 7 / 16;
        next[x * 3 + c] += e * 3 / 16;
        next[(x + 1) * 3 + c] += e * 5 / 16;
        next[(x + 2) * 3 + c] += e * 1 / 16;
      }
    }
  }
  for (int y = h - 1; y >= 0; --y) {
    out.insert(out.end(), indices.begin() + static_cast<std::ptrdiff_t>(y) * w,
               indices.begin() + static_cast<std::ptrdiff_t>(y + 1) * w);
    out.resize(out.size() + rowSize - static_cast<std::uint32_t>(w), 0);
  }
  return Save(out, path);
}

}  // namespace artgen
