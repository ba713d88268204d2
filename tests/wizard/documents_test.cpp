// What the wizard opens outside its pages: the kit's documents in viewers of
// their own, the PDF reader installer after a question, the about box; and
// the installer script itself, which is only ever run in its dry-run mode.
#include <sys/wait.h>

#include <wx/choice.h>
#include <wx/stattext.h>
#include <wx/webview.h>

#include <cstdio>

#include "platform/msgbox.h"
#include "wizard/about_dlg.h"
#include "wizard/documents.h"
#include "wizard_fixture.h"

using namespace wizard_test;

namespace {

constexpr const char* kFourLanguages =
    "[Language]\n简体中文=lang_cn.ini\n繁體中文=lang_tw.ini\nEnglish=lang_en.ini\nDeutsch=lang_de.ini\n";

class WizardDocuments : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    if (IsSkipped()) return;
    WriteFile(m_dir / "Language.ini", kFourLanguages);
    platform::SetMessageBoxHandler([this](const platform::MessageBoxCall& call) {
      m_boxes.push_back(call);
      return m_answer;
    });
  }
  void TearDown() override {
    if (m_wizard) CloseViewers();
    platform::SetMessageBoxHandler({});
    WizardTest::TearDown();
  }
  // The address of the one viewer a command opened.
  std::string OpenedAddress(unsigned id) {
    CloseViewers();
    m_wizard->HandleMenuId(id);
    const auto viewers = Viewers();
    EXPECT_EQ(viewers.size(), 1u) << "id " << id;
    return viewers.empty() ? std::string("(none)") : viewers[0]->m_strAddress;
  }
  void Choose(int lang) {
    m_wizard->GetLanguageBox()->SetSelection(lang);
    m_wizard->OnSelchangeLanguage();
  }

  std::vector<platform::MessageBoxCall> m_boxes;
  int m_answer = platform::IDNO;
};

TEST_F(WizardDocuments, EachLanguageOpensItsOwnFiles) {
  OpenWizard();
  const std::string k = m_kit;
  EXPECT_EQ(OpenedAddress(wizard::kIdFaq), k + "FAQ/FAQ-cn.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdSupport), k + "Technical Support/技术支持.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdCentralControl), k + "Centralized control/集中控制平台使用说明书.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdUserManual), k + "Users manual/用户手册.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdQuickGuide), k + "QIG/快速安装指南.pdf");
  Choose(1);
  EXPECT_EQ(OpenedAddress(wizard::kIdFaq), k + "FAQ/FAQ-F.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdSupport), k + "Technical Support/技術支持-F.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdCentralControl), k + "Centralized control/集中控制平臺使用說明書-F.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdUserManual), k + "Users manual/用戶手冊-F.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdQuickGuide), k + "QIG/快速安裝指南-F.pdf");
  Choose(2);
  EXPECT_EQ(OpenedAddress(wizard::kIdFaq), k + "FAQ/FAQ-en.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdSupport), k + "Technical Support/Technical Support.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdCentralControl), k + "Centralized control/Central Control Platform Manual.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdUserManual), k + "Users manual/User Manual.pdf");
  EXPECT_EQ(OpenedAddress(wizard::kIdQuickGuide), k + "QIG/Quick Installation Guide.pdf");
  // A fourth language has no documents: the viewer opens with no address.
  Choose(3);
  EXPECT_EQ(OpenedAddress(wizard::kIdQuickGuide), "");
  EXPECT_EQ(CDocViewerDlg::AddressUrl(""), "about:blank");
}

TEST_F(WizardDocuments, EveryDocumentOfTheKitExists) {
  for (int lang : {0, 1, 2})
    for (unsigned id = wizard::kIdFaq; id <= wizard::kIdQuickGuide; ++id) {
      const std::string path = wizard::DocumentPath(m_kit, id, lang);
      EXPECT_TRUE(fs::is_regular_file(path)) << path;
    }
}

TEST_F(WizardDocuments, OneDocumentTwiceOpensTwoViewersThatFillTheirWindows) {
  OpenWizard();
  m_wizard->HandleMenuId(wizard::kIdQuickGuide);
  m_wizard->HandleMenuId(wizard::kIdQuickGuide);
  const auto viewers = Viewers();
  ASSERT_EQ(viewers.size(), 2u);
  EXPECT_NE(viewers[0], viewers[1]);
  for (CDocViewerDlg* viewer : viewers) {
    EXPECT_TRUE(viewer->IsShown());
    EXPECT_FALSE(viewer->IsModal());
    EXPECT_TRUE(viewer->HasFlag(wxRESIZE_BORDER));
    EXPECT_EQ(viewer->m_bInitialized, 1);
  }
  // The first one, resized, keeps its browser over the whole client area.
  viewers[0]->SetClientSize(500, 380);
  ASSERT_TRUE(RunLoopUntil([&] { return viewers[0]->GetBrowser()->GetSize() == wxSize(500, 380); }, 3000));
  EXPECT_EQ(viewers[0]->GetBrowser()->GetPosition(), wxPoint(0, 0));
  // The browser was given the file as an encoded file URL.
  EXPECT_TRUE(viewers[1]->GetBrowser()->GetCurrentURL().StartsWith("file://"));
  // The wizard does not wait for its viewers.
  EXPECT_EQ(m_wizard->GetPage(), 0);
}

class ReaderQuestion : public WizardDocuments {
 protected:
  void SetUp() override {
    WizardDocuments::SetUp();
    if (IsSkipped()) return;
    // A kit folder of our own whose installers only leave a mark.
    m_module = m_dir / "kit";
    fs::create_directories(m_module);
    for (const char* file : {"lang_cn.ini", "lang_tw.ini", "lang_en.ini"})
      fs::copy_file(m_kit + file, m_module / file);
    for (const char* name : {"AdbeRdr-cn.exe", "AdbeRdr-en.exe"}) {
      const fs::path installer = m_module / "Acrobat reader" / name;
      WriteFile(installer, std::string("#!/bin/sh\necho ran > \"$0.ran\"\n"));
      fs::permissions(installer, fs::perms::owner_all);
    }
  }
  bool Ran(const char* name) const { return fs::exists(m_module / "Acrobat reader" / (std::string(name) + ".ran")); }

  fs::path m_module;
};

TEST_F(ReaderQuestion, NoRunsNothingAndYesRunsTheInstallerOfTheLanguage) {
  OpenWizard(m_module.string() + "/");
  Choose(2);
  m_answer = platform::IDNO;
  m_wizard->HandleMenuId(wizard::kIdReaderInstaller);
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].owner, m_wizard);
  EXPECT_EQ(m_boxes[0].caption, "AcrobatReader");
  EXPECT_EQ(m_boxes[0].text, "The manuals need a PDF reader. Install one now?");
  EXPECT_EQ(m_boxes[0].flags & platform::MB_BUTTON_MASK, platform::MB_YESNO);

  // Traditional Chinese: the "-F" documents, but the English installer.
  Choose(1);
  m_answer = platform::IDYES;
  m_wizard->HandleMenuId(wizard::kIdReaderInstaller);
  ASSERT_EQ(m_boxes.size(), 2u);
  EXPECT_EQ(m_boxes[1].text, "開啟說明書需要PDF閱讀器。現在安裝嗎？");
  ASSERT_TRUE(RunLoopUntil([&] { return Ran("AdbeRdr-en.exe"); }, 5000));
  // The English answer No ran nothing: its installer is the Chinese one.
  EXPECT_FALSE(Ran("AdbeRdr-cn.exe"));

  Choose(0);
  m_wizard->HandleMenuId(wizard::kIdReaderInstaller);
  ASSERT_TRUE(RunLoopUntil([&] { return Ran("AdbeRdr-cn.exe"); }, 5000));
}

TEST_F(WizardDocuments, TheAboutBoxShowsTheChosenLanguage) {
  OpenWizard();
  Choose(2);
  std::string line1, line2, caption;
  m_wizard->CallAfter([&] {
    for (wxWindow* w : wxTopLevelWindows)
      if (auto* about = dynamic_cast<CAboutDlg*>(w)) {
        line1 = about->m_version->GetLabel().utf8_str();
        line2 = about->m_copyright->GetLabel().utf8_str();
        caption = about->GetTitle().utf8_str();
        about->EndModal(wxID_OK);
      }
  });
  m_wizard->HandleMenuId(wizard::kIdAbout);
  EXPECT_EQ(line1, "Oskaro Setup Wizard 1.0");
  EXPECT_EQ(line2, "Copyright (C) Oskaro. All rights reserved.");
  EXPECT_EQ(caption, "About the Setup Wizard");
}

// The desktop gives the window no system menu: the about command comes
// from the window's context menu, as a menu command with the system menu's id.
TEST_F(WizardDocuments, TheAboutCommandOfTheContextMenuShowsTheAboutBox) {
  OpenWizard();
  int shown = 0;
  auto close_about = [&] {
    for (wxWindow* w : wxTopLevelWindows)
      if (auto* about = dynamic_cast<CAboutDlg*>(w)) {
        ++shown;
        about->EndModal(wxID_OK);
      }
  };
  m_wizard->CallAfter(close_about);
  wxCommandEvent command(wxEVT_MENU, CSetupWizardDlg::IDM_ABOUTBOX);
  m_wizard->GetEventHandler()->ProcessEvent(command);
  EXPECT_EQ(shown, 1);
  // The system command's four low bits are the system's own.
  m_wizard->CallAfter(close_about);
  m_wizard->OnSysCommand(CSetupWizardDlg::IDM_ABOUTBOX | 0x0F);
  EXPECT_EQ(shown, 2);
  m_wizard->OnSysCommand(0xF060);  // closing: not ours
  EXPECT_EQ(shown, 2);
}

TEST_F(WizardDocuments, IdThirteenAndUnknownIdsDoNothing) {
  OpenWizard();
  for (unsigned id : {13u, 14u, 33u, 4294967291u}) m_wizard->DoMsgId(id);
  EXPECT_TRUE(Viewers().empty());
  EXPECT_TRUE(m_boxes.empty());
  EXPECT_EQ(m_wizard->GetPage(), 0);
}

// The kit's installer script, in dry-run mode with a desktop we describe.
class ReaderScript : public ::testing::Test {
 protected:
  void SetUp() override {
    m_kit = KitDir();
    if (m_kit.empty()) GTEST_SKIP() << "KEPLIN_KIT_DIR not set";
    char pattern[] = "/tmp/reader-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_bin = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    if (!m_bin.empty()) fs::remove_all(m_bin, ignored);
  }
  void Tool(const std::string& name, const std::string& output) {
    WriteFile(m_bin / name, "#!/bin/sh\necho '" + output + "'\n");
    fs::permissions(m_bin / name, fs::perms::owner_all);
  }
  std::string Run(const char* installer, const char* answer) {
    const std::string command = "env PATH='" + m_bin.string() + ":/usr/bin:/bin' KEPLIN_READER_DRY_RUN=1 " +
                                "KEPLIN_READER_ANSWER=" + answer + " '" + m_kit + "Acrobat reader/" + installer +
                                "' 2>&1";
    std::string output;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[512];
      while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
      pclose(pipe);
    }
    return output;
  }

  std::string m_kit;
  fs::path m_bin;
};

TEST_F(ReaderScript, AnInstalledReaderIsOfferedNotInstalled) {
  Tool("xdg-mime", "org.gnome.Evince.desktop");
  const std::string out = Run("AdbeRdr-en.exe", "yes");
  EXPECT_NE(out.find("A PDF reader is installed (org.gnome.Evince)"), std::string::npos) << out;
  EXPECT_NE(out.find("run: xdg-open " + fs::path(m_kit).parent_path().string()), std::string::npos) << out;
  EXPECT_EQ(out.find("Install the"), std::string::npos) << out;
}

TEST_F(ReaderScript, WithoutAReaderItAsksAndInstallsTheSystemsWay) {
  Tool("xdg-mime", "");
  Tool("gnome-software", "");
  std::string out = Run("AdbeRdr-cn.exe", "yes");
  EXPECT_NE(out.find("没有找到PDF阅读器"), std::string::npos) << out;
  EXPECT_NE(out.find("run: gnome-software --details=org.gnome.Evince.desktop"), std::string::npos) << out;
  out = Run("AdbeRdr-cn.exe", "no");
  EXPECT_EQ(out.find("run:"), std::string::npos) << out;
}

}  // namespace
