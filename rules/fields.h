// The fixed text fields of the cameras' records: read within their bounds,
// shown as UTF-8, and filled without ever splitting a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rules {

// The bytes of a field of `size` bytes up to its NUL; all `size` bytes when
// it has none (texts from the network are not trusted to be terminated).
std::string RawField(const char* field, std::size_t size);
template <std::size_t N>
std::string RawField(const char (&field)[N]) { return RawField(field, N); }

// The same text as UTF-8: bytes that are not UTF-8 are read as GBK, the code
// page of the cameras' Chinese texts.
std::string FieldText(const char* field, std::size_t size);
template <std::size_t N>
std::string FieldText(const char (&field)[N]) { return FieldText(field, N); }

// Copies `text` into a field of `size` bytes, cut at a UTF-8 character
// boundary so that the NUL fits; the rest of the field is zeroed.
void CopyField(char* field, std::size_t size, const std::string& text);
template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text) { CopyField(field, N, text); }

// True when `text` holds a control character: C0 (line breaks, tabs ...),
// DEL, or a C1 control written in UTF-8.
bool HasControlCharacter(std::string_view text);

}  // namespace rules
