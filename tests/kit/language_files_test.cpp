// The language files of the kit folder: the list of languages, and in each
// file every text the wizard and the search dialog look up, uncut.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace {

const char* const kLanguageFiles[] = {"lang_cn.ini", "lang_tw.ini", "lang_en.ini"};

// Keys the wizard reads.
const char* const kWizardKeys[] = {
    "#0007", "#0008", "#0009", "#0010", "#0012", "#0013", "#0014",  "#0015",  "#0016", "#0017", "#0021",
    "#0022", "#0023", "#0024", "#0025", "#0026", "#0028", "#0029",  "#0030",  "#0031", "#0032", "#0033",
    "#0034", "#0035", "#0036", "#0037", "#0038", "#0039", "#0040",  "#0041",  "#0042", "#0044", "#0045",
    "#0046", "#0047", "#0048", "#0049", "#00491", "#00492", "#0050", "#0051", "#00511", "#00512", "#0060",
    "#0061", "#0062", "#0063", "#0110", "#0111", "#0112", "#0113", "#0114", "#0115"};

// Keys the search dialog reads whose control is shown (the tip panels 5 to 8
// are hidden and may stay empty).
const char* const kDialogKeys[] = {
    "#0052", "#0053", "#0054", "#0055", "#0064", "#0065", "#0066", "#0067", "#0068", "#0069", "#0070",
    "#0071", "#0072", "#0073", "#0074", "#0075", "#0076", "#0077", "#0078", "#0079", "#0080", "#0081",
    "#0082", "#0083", "#0084", "#0085", "#0086", "#0087", "#0088", "#0089", "#0090", "#0091", "#0092",
    "#0093", "#0095", "#0096", "#0097", "#0098", "#0099", "#0100", "#0101", "#0105", "#0106", "#0107",
    "#0108", "#0109"};

class KitLanguageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("KEPLIN_KIT_DIR");
    if (!dir) GTEST_SKIP() << "KEPLIN_KIT_DIR not set";
    m_dir = std::string(dir) + "/";
  }

  std::vector<std::string> Lines(const std::string& file) const {
    std::ifstream in(m_dir + file, std::ios::binary);
    EXPECT_TRUE(in) << file;
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
  }

  std::string m_dir;
};

TEST_F(KitLanguageFiles, TheListOffersTheThreeLanguagesInIndexOrder) {
  const std::vector<std::string> lines = Lines("Language.ini");
  const std::vector<std::string> expected = {"[Language]", "简体中文=lang_cn.ini", "繁體中文=lang_tw.ini",
                                             "English=lang_en.ini"};
  EXPECT_EQ(lines, expected);
}

TEST_F(KitLanguageFiles, EveryFileHoldsEveryTextOfTheWizardAndTheDialog) {
  for (const char* file : kLanguageFiles) {
    for (const char* key : kWizardKeys)
      EXPECT_FALSE(platform::ReadProfileString("config", key, "", m_dir + file).empty()) << file << " " << key;
    for (const char* key : kDialogKeys)
      EXPECT_FALSE(platform::ReadProfileString("config", key, "", m_dir + file).empty()) << file << " " << key;
  }
}

// A value longer than the 255 bytes a lookup returns would be cut, and of a
// key written twice only the first counts: an edit of the second would be lost.
TEST_F(KitLanguageFiles, NoTextIsCutAndNoKeyIsWrittenTwice) {
  for (const char* file : kLanguageFiles) {
    std::set<std::string> keys;
    for (const std::string& line : Lines(file)) {
      EXPECT_TRUE(platform::IsValidUtf8(line)) << file << ": " << line;
      if (line.empty() || line[0] != '#') continue;
      const std::size_t equals = line.find('=');
      ASSERT_NE(equals, std::string::npos) << file << ": " << line;
      const std::string key = line.substr(0, equals);
      EXPECT_TRUE(keys.insert(key).second) << file << ": " << key << " written twice";
      EXPECT_LE(line.size() - equals - 1, 255u) << file << ": " << key;
    }
  }
}

}  // namespace
