// The wizard in a test: a folder of its own as the current directory (with a
// "Language.ini" the test writes), the kit folder as the wizard's folder, and
// an installation that only records that it was started.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../platform/wx_environment.h"
#include "../searchui/event_loop.h"
#include "tools/wizardshots/screen_pixels.h"
#include "wizard/doc_viewer.h"
#include "wizard/setup_wizard_dlg.h"

namespace wizard_test {

namespace fs = std::filesystem;

constexpr const char* kThreeLanguages = "[Language]\n简体中文=lang_cn.ini\n繁體中文=lang_tw.ini\nEnglish=lang_en.ini\n";

inline std::string KitDir() {
  const char* kit = std::getenv("KEPLIN_KIT_DIR");
  return kit ? std::string(kit) + "/" : std::string();
}

inline void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The window's client area as the X server shows it, after a repaint.
class ScreenShot {
 public:
  explicit ScreenShot(wxWindow* window) : m_pixels(Area(window)) {}
  bool ok() const { return m_pixels.ok(); }
  wxColour At(int x, int y) const { return m_pixels.At(x, y); }
  // Pixels of the rectangle clearly darker than the background: text.
  int DarkPixels(const wxRect& r) const {
    int dark = 0;
    for (int y = r.y; y < r.GetBottom(); ++y)
      for (int x = r.x; x < r.GetRight(); ++x) dark += At(x, y).Red() < 128;
    return dark;
  }

 private:
  static wxRect Area(wxWindow* window) {
    window->Refresh();
    window->Update();
    RunLoopUntil([] { return false; }, 300);
    return wxRect(window->ClientToScreen(wxPoint(0, 0)), window->GetClientSize());
  }
  ScreenPixels m_pixels;
};

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_kit = KitDir();
    if (m_kit.empty()) GTEST_SKIP() << "KEPLIN_KIT_DIR not set";
    char pattern[] = "/tmp/wizard-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    m_oldCwd = fs::current_path();
    fs::current_path(m_dir);
    WriteFile(m_dir / "Language.ini", kThreeLanguages);
  }
  void TearDown() override {
    CloseWizard();
    if (!m_dir.empty()) {
      fs::current_path(m_oldCwd);
      std::error_code ignored;
      fs::remove_all(m_dir, ignored);
    }
  }

  // Makes and shows the wizard for `module_dir` (the kit folder by default).
  CSetupWizardDlg* OpenWizard(const std::string& module_dir = std::string()) {
    m_wizard = new CSetupWizardDlg(module_dir.empty() ? m_kit : module_dir);
    m_wizard->SetInstallStarter([this](const std::string& dir) { m_installs.push_back(dir); });
    EXPECT_TRUE(m_wizard->Create());
    m_wizard->Move(0, 0);
    m_wizard->Show();
    return m_wizard;
  }
  void CloseWizard() {
    if (!m_wizard) return;
    m_wizard->Destroy();
    m_wizard = nullptr;
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
  }
  std::vector<CDocViewerDlg*> Viewers() const {
    std::vector<CDocViewerDlg*> viewers;
    for (wxWindow* child : m_wizard->GetChildren())
      if (auto* viewer = dynamic_cast<CDocViewerDlg*>(child))
        if (!viewer->IsBeingDeleted()) viewers.push_back(viewer);
    return viewers;
  }
  void CloseViewers() {
    for (CDocViewerDlg* viewer : Viewers()) viewer->Destroy();
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
  }

  std::string m_kit;
  fs::path m_dir;
  fs::path m_oldCwd;
  CSetupWizardDlg* m_wizard = nullptr;
  std::vector<std::string> m_installs;
};

}  // namespace wizard_test
