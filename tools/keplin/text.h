// Texts that come from cameras and adapters on their way to a terminal or a
// script: fixed fields read and converted as the search window reads them
// (rules/fields.h), then made safe to print.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/profile.h"
#include "rules/fields.h"

namespace keplin::cli {

// The bytes of a fixed field up to its NUL (all of them when it has none).
template <size_t N>
std::string field_text(const char (&field)[N]) {
    return rules::RawField(field, N);
}

// `text` as UTF-8 (GBK when it is not UTF-8); always valid UTF-8.
inline std::string to_utf8(std::string_view text) { return platform::ToUtf8(std::string(text)); }

// A UTF-8 text with control characters (C0, DEL, C1) replaced by '?', so that a
// camera's name cannot move the cursor or send escape sequences to a terminal.
std::string printable(std::string_view utf8);

// Columns a UTF-8 text takes on a terminal: East Asian wide characters count
// two, everything else one.
size_t display_width(std::string_view utf8);

}  // namespace keplin::cli
