#include "searchui/langtext.h"

#include "platform/profile.h"
#include "platform/shell.h"

namespace {

std::string TrimWhiteSpace(const std::string& text) {
    constexpr const char* kWhite = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(kWhite);
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(kWhite);
    return text.substr(first, last - first + 1);
}

}  // namespace

CLangText::CLangText(std::string file) : m_dir(platform::ExecutableDirectory()), m_file(std::move(file)) {}

void CLangText::SetLangFile(const std::string& name) { m_file = TrimWhiteSpace(name); }

std::string CLangText::GetText(const std::string& key) const {
    if (const auto builtin = m_builtin.find(key); builtin != m_builtin.end()) return builtin->second;
    // The path is the directory and the name joined as they are: a relative
    // name with folders resolves below the program's directory.
    return platform::ReadProfileString("config", key, "", m_dir + m_file, 256);
}
