#include "tools/keplin/text.h"

namespace keplin::cli {

namespace {

// Decodes the code point at `text[pos]` of a valid UTF-8 text and advances pos.
char32_t next_code_point(std::string_view text, size_t& pos) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (pos + length > text.size()) {
        pos = text.size();
        return U'?';
    }
    char32_t cp = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (size_t i = 1; i < length; ++i) cp = (cp << 6) | (byte(pos + i) & 0x3F);
    pos += length;
    return cp;
}

bool is_wide(char32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
           (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
           (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

}  // namespace

std::string printable(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        size_t start = pos;
        char32_t cp = next_code_point(utf8, pos);
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) out.push_back('?');
        else out.append(utf8.substr(start, pos - start));
    }
    return out;
}

size_t display_width(std::string_view utf8) {
    size_t width = 0;
    size_t pos = 0;
    while (pos < utf8.size()) width += is_wide(next_code_point(utf8, pos)) ? 2 : 1;
    return width;
}

}  // namespace keplin::cli
