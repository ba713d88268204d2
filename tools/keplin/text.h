// Texts that come from cameras and adapters: fixed fields read within their
// bounds, converted to UTF-8, and made safe to print on a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace keplin::cli {

// The NUL-terminated text of a fixed field of `size` bytes; a field without a
// NUL gives all `size` bytes.
std::string field_text(const char* field, size_t size);

template <size_t N>
std::string field_text(const char (&field)[N]) {
    return field_text(field, N);
}

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool is_valid_utf8(std::string_view text);

// `text` unchanged when it is valid UTF-8, else converted from GBK, the code
// page of the cameras' Chinese texts. Bytes that are not GBK either become
// U+FFFD, so the result is always valid UTF-8.
std::string to_utf8(std::string_view text);

// A UTF-8 text with control characters (C0, DEL, C1) replaced by '?', so that a
// camera's name cannot move the cursor or send escape sequences to a terminal.
std::string printable(std::string_view utf8);

// Columns a UTF-8 text takes on a terminal: East Asian wide characters count
// two, everything else one.
size_t display_width(std::string_view utf8);

}  // namespace keplin::cli
