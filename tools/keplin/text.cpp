#include "tools/keplin/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace keplin::cli {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

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

std::string field_text(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

bool is_valid_utf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        char32_t cp, least;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2, cp = c & 0x1F, least = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3, cp = c & 0x0F, least = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4, cp = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            auto cont = static_cast<unsigned char>(text[i + k]);
            if ((cont & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cont & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

std::string to_utf8(std::string_view text) {
    if (is_valid_utf8(text)) return std::string(text);
    std::string out;
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // Not fatal: without the converter every byte above ASCII is unreadable.
        for (char c : text) {
            if (static_cast<unsigned char>(c) < 0x80) out.push_back(c);
            else out += kReplacement;
        }
        return out;
    }
    std::string input(text);
    char* in = input.data();
    size_t in_left = input.size();
    char buffer[256];
    while (in_left > 0) {
        char* dst = buffer;
        size_t dst_left = sizeof buffer;
        size_t done = iconv(cd, &in, &in_left, &dst, &dst_left);
        int error = errno;
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (done != static_cast<size_t>(-1)) break;
        if (error == E2BIG) continue;
        // EILSEQ or EINVAL (a lead byte cut off at the end): skip one byte.
        out += kReplacement;
        ++in;
        --in_left;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

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
