// Reading values from INI ("profile") files, with the rules the kit's language
// files were written for: section and key names match without regard to case,
// blanks around a value and one pair of enclosing quotes are stripped, a value
// is cut to the caller's buffer, and the file is read again on every call.
//
// Files may be UTF-8 (with or without a byte-order mark) or GBK; a file that is
// not valid UTF-8 is converted from GBK. Values come back as UTF-8.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The value of `key` in `section` of the file at `path`, or `fallback` when the
// file, the section or the key is missing. The value is cut to at most
// `buffer_size - 1` bytes as the design's ANSI text counts them (two for a
// character beyond ASCII, as in GBK), at a character boundary (the buffer of
// the classic call keeps room for its NUL). A buffer size of 0 gives the
// empty text.
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& fallback, const std::string& path,
                              std::size_t buffer_size = 256);

// Converts `bytes` to UTF-8: valid UTF-8 is returned as it is (a leading
// byte-order mark removed), anything else is read as GBK. Bytes that are not
// GBK either become U+FFFD.
std::string ToUtf8(const std::string& bytes);

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(const std::string& bytes);

// Length of UTF-8 `text` as the design's ANSI text counts it: one for an ASCII
// character, two for any other (as GBK stores a Chinese character).
std::size_t AnsiLength(const std::string& utf8);

// `utf8` cut to at most `max_bytes` as AnsiLength counts them, never inside a
// character: the text a buffer of `max_bytes + 1` ANSI bytes would keep.
std::string CutToAnsiBytes(const std::string& utf8, std::size_t max_bytes);

// `text` cut to at most `max_bytes` bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, std::size_t max_bytes);

}  // namespace platform
