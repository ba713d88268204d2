#include "platform/profile.h"

#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <strings.h>

namespace platform {
namespace {

constexpr const char* kBlanks = " \t\r\v\f";

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::string StripQuotes(const std::string& value) {
    if (value.size() >= 2) {
        const char open = value.front();
        if ((open == '"' || open == '\'') && value.back() == open)
            return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string GbkToUtf8(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
    std::string out;
    out.reserve(bytes.size() * 3 / 2 + 16);
    char buffer[4096];
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    while (in_left > 0) {
        char* dst = buffer;
        size_t dst_left = sizeof buffer;
        const size_t done = iconv(cd, &in, &in_left, &dst, &dst_left);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (done == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // An invalid or truncated sequence: one replacement character per
            // byte skipped, so that one bad byte cannot swallow a line.
            out += "\xEF\xBF\xBD";
            ++in;
            --in_left;
        }
    }
    iconv_close(cd);
    return out;
}

// The design's buffers hold the text in the ANSI code page, where a Chinese
// character takes two bytes: texts are counted and cut as that text would be,
// two for every character beyond ASCII, and never inside a character.
//
// End of the longest prefix of `utf8` that counts at most `max_bytes`; its
// count goes to `counted`. A character cut off at the end is left out.
std::size_t AnsiPrefix(const std::string& utf8, std::size_t max_bytes, std::size_t& counted) {
    counted = 0;
    std::size_t end = 0;
    while (end < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[end]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::size_t width = lead < 0x80 ? 1 : 2;
        if (counted + width > max_bytes || end + length > utf8.size()) break;
        counted += width;
        end += length;
    }
    return end;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        size_t extra;
        unsigned min;
        unsigned cp;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) { extra = 1; min = 0x80; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; min = 0x800; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; min = 0x10000; cp = c & 0x07; }
        else return false;
        if (i + extra >= n) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

std::string ToUtf8(const std::string& bytes) {
    if (IsValidUtf8(bytes)) {
        if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
        return bytes;
    }
    return GbkToUtf8(bytes);
}

std::string CutUtf8(const std::string& text, std::size_t max_bytes) {
    if (text.size() <= max_bytes) return text;
    size_t end = max_bytes;
    // Step back over continuation bytes to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::size_t AnsiLength(const std::string& utf8) {
    std::size_t counted = 0;
    AnsiPrefix(utf8, utf8.size() * 2, counted);
    return counted;
}

std::string CutToAnsiBytes(const std::string& utf8, std::size_t max_bytes) {
    std::size_t counted = 0;
    return utf8.substr(0, AnsiPrefix(utf8, max_bytes, counted));
}

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& fallback, const std::string& path,
                              std::size_t buffer_size) {
    if (buffer_size == 0) return std::string();
    const std::string wanted_section = Trim(section);
    const std::string wanted_key = Trim(key);
    std::string result = fallback;

    std::ifstream file(path, std::ios::binary);
    if (file) {
        std::ostringstream raw;
        raw << file.rdbuf();
        std::istringstream lines(ToUtf8(raw.str()));
        std::string line;
        bool in_section = false;
        bool found = false;
        while (!found && std::getline(lines, line)) {
            const std::string text = Trim(line);
            if (text.empty() || text[0] == ';') continue;
            if (text[0] == '[') {
                const auto close = text.find(']');
                if (close == std::string::npos) continue;  // malformed: skipped
                in_section = SameName(Trim(text.substr(1, close - 1)), wanted_section);
                continue;
            }
            if (!in_section) continue;
            const auto equals = text.find('=');
            if (equals == std::string::npos) continue;  // not a key line: skipped
            if (!SameName(Trim(text.substr(0, equals)), wanted_key)) continue;
            result = StripQuotes(Trim(text.substr(equals + 1)));
            found = true;
        }
    }
    return CutToAnsiBytes(result, buffer_size - 1);
}

}  // namespace platform
