#include "wizard/documents.h"

namespace wizard {
namespace {

struct Document {
  unsigned id;
  const char* paths[3];  // languages 0, 1, 2
};

const Document kDocuments[] = {
    {kIdFaq, {"FAQ/FAQ-cn.pdf", "FAQ/FAQ-F.pdf", "FAQ/FAQ-en.pdf"}},
    {kIdSupport,
     {"Technical Support/技术支持.pdf", "Technical Support/技術支持-F.pdf",
      "Technical Support/Technical Support.pdf"}},
    {kIdCentralControl,
     {"Centralized control/集中控制平台使用说明书.pdf", "Centralized control/集中控制平臺使用說明書-F.pdf",
      "Centralized control/Central Control Platform Manual.pdf"}},
    {kIdUserManual, {"Users manual/用户手册.pdf", "Users manual/用戶手冊-F.pdf", "Users manual/User Manual.pdf"}},
    {kIdQuickGuide,
     {"QIG/快速安装指南.pdf", "QIG/快速安裝指南-F.pdf", "QIG/Quick Installation Guide.pdf"}},
};

}  // namespace

std::string DocumentPath(const std::string& module_dir, unsigned id, int lang) {
  if (lang < 0 || lang > 2) return std::string();
  for (const Document& document : kDocuments)
    if (document.id == id) return module_dir + document.paths[lang];
  return std::string();
}

std::string ReaderInstallerPath(const std::string& module_dir, int lang) {
  return module_dir + (lang == 1 ? "Acrobat reader/AdbeRdr-en.exe" : "Acrobat reader/AdbeRdr-cn.exe");
}

}  // namespace wizard
