// The list of offered languages, "Language.ini": a first line that contains
// "[Language]", then one "display name=language file" line per language, in
// the order of the language box. The wizard gives the positions fixed
// meanings: 0 simplified Chinese, 1 traditional Chinese, 2 English.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wizard {

// One line of the list: the name shown in the language box and the file it
// stands for.
using LanguageEntry = std::pair<std::string, std::string>;

// Reads an opened list. nullopt when the first line lacks "[Language]" (the
// caller then leaves its language box alone). Lines are read as the design's
// 1024-byte line buffer reads them; a line splits at its first "=", which must
// not be its first character; the display name is kept as written, the file
// name loses its trailing white space. Display names that are not UTF-8 are
// taken as GBK, as the profile reader takes such files.
std::optional<std::vector<LanguageEntry>> ReadLanguageList(std::FILE* file);

// Opens "Language.ini" in the current directory and, when there is none
// there, in `program_dir` (ending with '/'). Null when neither can be read.
std::FILE* OpenLanguageList(const std::string& program_dir);

}  // namespace wizard
