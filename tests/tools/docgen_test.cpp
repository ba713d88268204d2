// The kit's manuals: the markup reader, and the fifteen PDF files the build
// makes from it (present, whole, fonts embedded, text readable).
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "markup.h"

extern char** environ;

namespace {

using docgen::BlockKind;

docgen::Document Parse(const std::string& text) {
  docgen::Document doc;
  std::string error;
  EXPECT_TRUE(docgen::ParseDocument(text, &doc, &error)) << error;
  return doc;
}

TEST(DocMarkup, TextIsEscapedAndOnlyClosedMarksBecomeMarkup) {
  EXPECT_EQ(docgen::InlineMarkup("<Keplin> & \"co\""), "&lt;Keplin&gt; &amp; \"co\"");
  EXPECT_EQ(docgen::InlineMarkup("press **Update (F5)** now"), "press <b>Update (F5)</b> now");
  EXPECT_EQ(docgen::InlineMarkup("run `a<b && c`"), "run <span font_family=\"Liberation Mono\">a&lt;b &amp;&amp; c</span>");
  // Unclosed marks stay as written, so that a stray asterisk never swallows a paragraph.
  EXPECT_EQ(docgen::InlineMarkup("2 * 3 **not bold"), "2 * 3 **not bold");
  EXPECT_EQ(docgen::InlineMarkup("a ` b"), "a ` b");
}

TEST(DocMarkup, LinesJoinWithABlankOnlyBetweenLatinWords) {
  EXPECT_EQ(docgen::JoinLines({"The search", "  lists cameras."}), "The search lists cameras.");
  EXPECT_EQ(docgen::JoinLines({"搜索会列出", "所有摄像机。"}), "搜索会列出所有摄像机。");
  EXPECT_EQ(docgen::JoinLines({"按 F3", "搜索"}), "按 F3搜索");
  EXPECT_EQ(docgen::JoinLines({"", "one", ""}), "one");
}

TEST(DocMarkup, BlocksAreRecognised) {
  const docgen::Document doc = Parse(
      "title: Guide\nsubtitle: Sub\nlang: zh-cn\n---\n"
      "# One\n"
      "A paragraph\non two lines.\n"
      "- bullet\n  continued\n"
      "12. twelfth\n"
      "    ./keplin search\n"
      "      --format csv\n"
      "\n"
      "> a note\n> more\n"
      "! a.bmp | first\n! b.bmp\n"
      "## Two\n");
  EXPECT_EQ(doc.title, "Guide");
  EXPECT_EQ(doc.subtitle, "Sub");
  EXPECT_EQ(doc.lang, "zh-cn");
  ASSERT_EQ(doc.blocks.size(), 8u);
  EXPECT_EQ(doc.blocks[0].kind, BlockKind::Heading1);
  EXPECT_EQ(doc.blocks[0].plain, "One");
  EXPECT_EQ(doc.blocks[1].kind, BlockKind::Paragraph);
  EXPECT_EQ(doc.blocks[1].markup, "A paragraph on two lines.");
  EXPECT_EQ(doc.blocks[2].kind, BlockKind::Bullet);
  EXPECT_EQ(doc.blocks[2].markup, "bullet continued");
  EXPECT_EQ(doc.blocks[3].kind, BlockKind::Numbered);
  EXPECT_EQ(doc.blocks[3].label, "12.");
  EXPECT_EQ(doc.blocks[3].markup, "twelfth");
  EXPECT_EQ(doc.blocks[4].kind, BlockKind::Code);
  EXPECT_EQ(doc.blocks[4].markup, "./keplin search\n  --format csv");
  EXPECT_EQ(doc.blocks[5].kind, BlockKind::Note);
  EXPECT_EQ(doc.blocks[5].markup, "a note more");
  EXPECT_EQ(doc.blocks[6].kind, BlockKind::Figures);
  ASSERT_EQ(doc.blocks[6].figures.size(), 2u);
  EXPECT_EQ(doc.blocks[6].figures[0].file, "a.bmp");
  EXPECT_EQ(doc.blocks[6].figures[0].caption, "first");
  EXPECT_EQ(doc.blocks[6].figures[1].caption, "");
  EXPECT_EQ(doc.blocks[7].kind, BlockKind::Heading2);
}

TEST(DocMarkup, AHeaderWithoutTitleOrEndIsRefused) {
  docgen::Document doc;
  std::string error;
  EXPECT_FALSE(docgen::ParseDocument("title: Guide\n# One\n", &doc, &error));
  EXPECT_FALSE(docgen::ParseDocument("subtitle: x\n---\ntext\n", &doc, &error));
  EXPECT_FALSE(docgen::ParseDocument("title: x\nauthor: y\n---\n", &doc, &error));
  EXPECT_NE(error.find("author"), std::string::npos);
}

// ---- the documents in the kit folder ----

const char* const kDocuments[] = {
    "FAQ/FAQ-cn.pdf",
    "FAQ/FAQ-F.pdf",
    "FAQ/FAQ-en.pdf",
    "Technical Support/技术支持.pdf",
    "Technical Support/技術支持-F.pdf",
    "Technical Support/Technical Support.pdf",
    "Centralized control/集中控制平台使用说明书.pdf",
    "Centralized control/集中控制平臺使用說明書-F.pdf",
    "Centralized control/Central Control Platform Manual.pdf",
    "Users manual/用户手册.pdf",
    "Users manual/用戶手冊-F.pdf",
    "Users manual/User Manual.pdf",
    "QIG/快速安装指南.pdf",
    "QIG/快速安裝指南-F.pdf",
    "QIG/Quick Installation Guide.pdf",
};

std::string KitDir() {
  const char* dir = std::getenv("KEPLIN_KIT_DIR");
  return dir ? std::string(dir) + "/" : std::string();
}

// Runs a program with an argument vector and returns its standard output;
// `status` gets its exit status (-1 when it could not be run).
std::string RunProgram(const std::vector<std::string>& args, int* status) {
  int pipefd[2];
  *status = -1;
  if (pipe(pipefd) != 0) return "";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipefd[0]);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipefd[1]);
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipefd[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
  close(pipefd[0]);
  if (spawned != 0) return out;
  int wstatus = 0;
  if (waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) *status = WEXITSTATUS(wstatus);
  return out;
}

class KitDocuments : public ::testing::Test {
 protected:
  void SetUp() override {
    if (KitDir().empty()) GTEST_SKIP() << "KEPLIN_KIT_DIR not set";
  }
};

TEST_F(KitDocuments, AllFifteenAreWholePdfFiles) {
  for (const char* name : kDocuments) {
    std::ifstream file(KitDir() + name, std::ios::binary);
    ASSERT_TRUE(file) << name;
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.compare(0, 5, "%PDF-"), 0) << name;
    EXPECT_NE(bytes.find("%%EOF", bytes.size() > 16 ? bytes.size() - 16 : 0), std::string::npos)
        << name << " is cut off";
    EXPECT_GT(bytes.size(), 20000u) << name;
  }
}

TEST_F(KitDocuments, HeadingsReadBackInEachScript) {
  struct Expected {
    const char* document;
    const char* text;
  } const expected[] = {
      {"QIG/快速安装指南.pdf", "核对包装内的物品"},
      {"QIG/快速安裝指南-F.pdf", "核對包裝內的物品"},
      {"Users manual/User Manual.pdf", "The restart wait"},
      {"FAQ/FAQ-en.pdf", "The search finds no camera."},
      {"Centralized control/集中控制平台使用说明书.pdf", "集中控制电脑"},
  };
  for (const Expected& e : expected) {
    int status = 0;
    const std::string text = RunProgram({"pdftotext", "-enc", "UTF-8", KitDir() + e.document, "-"}, &status);
    ASSERT_EQ(status, 0) << "pdftotext (poppler-utils) failed on " << e.document;
    EXPECT_NE(text.find(e.text), std::string::npos) << e.document << " lacks \"" << e.text << "\"";
  }
}

// A font that is not embedded shows as boxes on a computer without it.
TEST_F(KitDocuments, EveryFontIsEmbedded) {
  for (const char* name : kDocuments) {
    int status = 0;
    const std::string table = RunProgram({"pdffonts", KitDir() + name}, &status);
    ASSERT_EQ(status, 0) << "pdffonts (poppler-utils) failed on " << name;
    // The rule of dashes under the heading marks each column; "emb" is the fourth.
    const std::size_t ruleStart = table.find("-----");
    ASSERT_NE(ruleStart, std::string::npos) << table;
    const std::size_t ruleEnd = table.find('\n', ruleStart);
    const std::string rule = table.substr(ruleStart, ruleEnd - ruleStart);
    std::size_t column = 0, embStart = 0, embEnd = 0;
    for (std::size_t i = 0; i < rule.size(); ++i) {
      if (rule[i] == '-' && (i == 0 || rule[i - 1] == ' ') && ++column == 4) embStart = i;
      if (column == 4 && rule[i] == '-' && (i + 1 == rule.size() || rule[i + 1] == ' ')) {
        embEnd = i + 1;
        break;
      }
    }
    ASSERT_GT(embEnd, embStart) << rule;
    std::size_t fonts = 0;
    std::size_t start = ruleEnd + 1;
    while (start < table.size()) {
      std::size_t end = table.find('\n', start);
      if (end == std::string::npos) end = table.size();
      const std::string row = table.substr(start, end - start);
      start = end + 1;
      if (row.size() < embEnd) continue;
      ++fonts;
      EXPECT_NE(row.substr(embStart, embEnd - embStart).find("yes"), std::string::npos) << name << ": " << row;
    }
    EXPECT_GE(fonts, 2u) << name;
  }
}

}  // namespace
