#include "rules/fields.h"

#include "platform/profile.h"

#include <cstring>

namespace rules {

std::string RawField(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

std::string FieldText(const char* field, std::size_t size) {
    return platform::ToUtf8(RawField(field, size));
}

void CopyField(char* field, std::size_t size, const std::string& text) {
    if (size == 0) return;
    const std::string cut = platform::CutUtf8(text, size - 1);
    std::memset(field, 0, size);
    std::memcpy(field, cut.data(), cut.size());
}

bool HasControlCharacter(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) return true;
        // U+0080 to U+009F are 0xC2 0x80 to 0xC2 0x9F in UTF-8.
        if (c == 0xC2 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9F) return true;
        }
    }
    return false;
}

}  // namespace rules
