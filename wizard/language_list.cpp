#include "wizard/language_list.h"

#include <cstring>

#include "platform/profile.h"

namespace wizard {
namespace {

constexpr const char* kListFile = "Language.ini";
constexpr int kLineBuffer = 1024;

void TrimTrailingWhiteSpace(std::string& text) {
  const auto last = text.find_last_not_of(" \t\r\n\v\f");
  text.erase(last == std::string::npos ? 0 : last + 1);
}

}  // namespace

std::optional<std::vector<LanguageEntry>> ReadLanguageList(std::FILE* file) {
  char line[kLineBuffer];
  if (!file || !std::fgets(line, sizeof line, file)) return std::nullopt;
  if (!std::strstr(line, "[Language]")) return std::nullopt;

  std::vector<LanguageEntry> entries;
  while (std::fgets(line, sizeof line, file)) {
    const std::string text(line);
    const auto equals = text.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    std::string name = platform::ToUtf8(text.substr(0, equals));
    std::string lang_file = text.substr(equals + 1);
    TrimTrailingWhiteSpace(lang_file);
    entries.emplace_back(std::move(name), std::move(lang_file));
  }
  return entries;
}

std::FILE* OpenLanguageList(const std::string& program_dir) {
  if (std::FILE* here = std::fopen(kListFile, "r")) return here;
  // Started from a desktop menu the current directory is the user's home;
  // the list lies beside the program, as the language files do.
  if (program_dir.empty()) return nullptr;
  return std::fopen((program_dir + kListFile).c_str(), "r");
}

}  // namespace wizard
