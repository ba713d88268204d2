// The list of languages: what "Language.ini" puts into the language box, and
// which language file the wizard then reads.
#include <wx/choice.h>

#include <cstdio>
#include <cstring>

#include "wizard/language_list.h"
#include "wizard_fixture.h"

using wizard::LanguageEntry;
using wizard::ReadLanguageList;
using namespace wizard_test;

namespace {

std::optional<std::vector<LanguageEntry>> Read(const std::string& text) {
  std::string copy = text;
  std::FILE* file = fmemopen(copy.data(), copy.size(), "r");
  if (!file) return std::nullopt;
  auto entries = ReadLanguageList(file);
  std::fclose(file);
  return entries;
}

TEST(LanguageList, FirstLineNeedsOnlyTheSubstring) {
  auto entries = Read("; kit languages [Language] v2\r\nEnglish=lang_en.ini\r\n");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0], LanguageEntry("English", "lang_en.ini"));

  EXPECT_FALSE(Read("[Languages\nEnglish=lang_en.ini\n"));
  EXPECT_FALSE(Read("\n[Language]\nEnglish=lang_en.ini\n"));  // only the first line counts
  EXPECT_FALSE(Read(""));
}

TEST(LanguageList, BlanksAfterTheFileGoBlanksBeforeTheNameStay) {
  auto entries = Read("[Language]\n English=lang_en.ini \t \r\n");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].first, " English");
  EXPECT_EQ((*entries)[0].second, "lang_en.ini");
}

TEST(LanguageList, SplitsAtTheFirstEqualsAndSkipsLinesWithoutAName) {
  auto entries = Read("[Language]\n=lang_x.ini\nno equals sign\nA=b=c.ini\n\nB=\n");
  ASSERT_TRUE(entries);
  const std::vector<LanguageEntry> expected = {{"A", "b=c.ini"}, {"B", ""}};
  EXPECT_EQ(*entries, expected);
}

TEST(LanguageList, RepeatedNamesStayInFileOrder) {
  auto entries = Read("[Language]\nEnglish=lang_a.ini\nDeutsch=lang_de.ini\nEnglish=lang_b.ini\n");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 3u);
  EXPECT_EQ((*entries)[0].first, "English");
  EXPECT_EQ((*entries)[2], LanguageEntry("English", "lang_b.ini"));
}

TEST(LanguageList, LongLinesAreReadInPiecesOfTheLineBuffer) {
  // 1100 bytes of name: the first 1023-byte piece has no "=", the rest does.
  const std::string name(1100, 'n');
  auto entries = Read("[Language]\n" + name + "=lang_en.ini\n");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].first, std::string(1100 - 1023, 'n'));
  EXPECT_EQ((*entries)[0].second, "lang_en.ini");
}

TEST(LanguageList, GbkDisplayNamesAreShownAsText) {
  // "简体中文" in GBK.
  auto entries = Read("[Language]\n\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4=lang_cn.ini\n");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].first, "简体中文");
}

class WizardLanguages : public WizardTest {
 protected:
  std::vector<std::string> BoxEntries() const {
    std::vector<std::string> entries;
    for (const wxString& s : m_wizard->GetLanguageBox()->GetStrings()) entries.emplace_back(s.utf8_str());
    return entries;
  }
};

TEST_F(WizardLanguages, TheBoxListsTheFileAndTheFirstEntryIsChosen) {
  OpenWizard();
  const std::vector<std::string> expected = {"简体中文", "繁體中文", "English"};
  EXPECT_EQ(BoxEntries(), expected);
  EXPECT_EQ(m_wizard->GetLanguageBox()->GetSelection(), 0);
  EXPECT_EQ(m_wizard->GetLangText().m_file, "lang_cn.ini");
  EXPECT_EQ(m_wizard->GetLang(), 0);
  EXPECT_EQ(m_wizard->GetTitle().utf8_str(), std::string("Oskaro网络摄像机设置向导"));
}

TEST_F(WizardLanguages, ARepeatedNameIsListedTwiceAndBothMeanTheLaterFile) {
  WriteFile(m_dir / "Language.ini", "[Language]\nEnglish=lang_cn.ini\nEnglish=lang_en.ini\n");
  OpenWizard();
  EXPECT_EQ(BoxEntries(), std::vector<std::string>({"English", "English"}));
  EXPECT_EQ(m_wizard->GetLangText().m_file, "lang_en.ini");
  ASSERT_TRUE(m_wizard->SelectLanguage(1));
  EXPECT_EQ(m_wizard->GetLangText().m_file, "lang_en.ini");
  EXPECT_EQ(m_wizard->GetTitle().utf8_str(), std::string("Oskaro Network Camera Setup Wizard"));
}

TEST_F(WizardLanguages, OnlyTheFirstLineLeavesTheBoxAndTheFileEmpty) {
  WriteFile(m_dir / "Language.ini", "[Language]\n");
  OpenWizard();
  EXPECT_TRUE(BoxEntries().empty());
  EXPECT_EQ(m_wizard->GetLangText().m_file, "");
  EXPECT_EQ(m_wizard->GetLangText().GetText("#0009"), "");
  // The wizard still runs: its pages are built with their pictures.
  ASSERT_NE(m_wizard->GetSlot(11), nullptr);
  m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
  EXPECT_EQ(m_wizard->GetPage(), 1);
}

TEST_F(WizardLanguages, ABadFirstLineLeavesTheBoxAlone) {
  WriteFile(m_dir / "Language.ini", "[Lang]\nEnglish=lang_en.ini\n");
  OpenWizard();
  EXPECT_TRUE(BoxEntries().empty());
  EXPECT_EQ(m_wizard->GetLangText().m_file, "");
}

TEST_F(WizardLanguages, WithoutAListHereTheOneBesideTheProgramIsRead) {
  fs::remove(m_dir / "Language.ini");
  const fs::path program = m_dir / "program";
  WriteFile(program / "Language.ini", "[Language]\nEnglish=lang_en.ini\n");
  fs::copy_file(m_kit + "lang_en.ini", program / "lang_en.ini");
  OpenWizard(program.string() + "/");
  EXPECT_EQ(BoxEntries(), std::vector<std::string>({"English"}));
  EXPECT_EQ(m_wizard->GetLangText().m_file, "lang_en.ini");
  EXPECT_EQ(m_wizard->GetLangText().GetText("#0009"), "Start");
}

TEST_F(WizardLanguages, TheListHereWinsOverTheOneBesideTheProgram) {
  const fs::path program = m_dir / "program";
  WriteFile(program / "Language.ini", "[Language]\nEnglish=lang_en.ini\n");
  OpenWizard(program.string() + "/");
  EXPECT_EQ(BoxEntries().size(), 3u);
}

TEST_F(WizardLanguages, NoListAnywhereGivesEmptyTexts) {
  fs::remove(m_dir / "Language.ini");
  const fs::path program = m_dir / "program";
  fs::create_directories(program);
  OpenWizard(program.string() + "/");
  EXPECT_TRUE(BoxEntries().empty());
  EXPECT_EQ(m_wizard->GetLangText().m_file, "");
}

TEST_F(WizardLanguages, TheLanguageChangesOnlyOnTheFirstPage) {
  OpenWizard();
  m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
  m_wizard->GetLanguageBox()->SetSelection(2);
  m_wizard->OnSelchangeLanguage();
  EXPECT_EQ(m_wizard->GetLang(), 0);
  EXPECT_EQ(m_wizard->GetLangText().m_file, "lang_cn.ini");
}

}  // namespace
