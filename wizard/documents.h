// Where the kit's manuals and the PDF reader installer lie beside the wizard.
#pragma once

#include <string>

namespace wizard {

// Item ids of the documents (5 to 9), the PDF reader installer (10), the about
// box (11), the end of the wizard (12) and the id that does nothing (13).
enum MenuId : unsigned {
  kIdFaq = 5,
  kIdSupport = 6,
  kIdCentralControl = 7,
  kIdUserManual = 8,
  kIdQuickGuide = 9,
  kIdReaderInstaller = 10,
  kIdAbout = 11,
  kIdExit = 12,
  kIdNothing = 13,
};

// The document of id 5 to 9 in language `lang` (0 simplified Chinese, 1
// traditional Chinese, 2 English) below `module_dir` (ending with '/').
// Empty for any other language or id.
std::string DocumentPath(const std::string& module_dir, unsigned id, int lang);

// The PDF reader installer: the English one for language 1, else the Chinese
// one (the kit's pairing, kept as shipped kits have it).
std::string ReaderInstallerPath(const std::string& module_dir, int lang);

}  // namespace wizard
