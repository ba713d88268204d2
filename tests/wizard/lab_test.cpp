// The whole walk through the wizard inside the isolated lab network: from the
// first page to the search page, whose search lists the simulated cameras.
#include <wx/button.h>
#include <wx/listctrl.h>

#include <set>

#include "lab_support.h"
#include "wizard_fixture.h"

using namespace keplin::lab;
using namespace wizard_test;

namespace {

constexpr int kSearchButton = 204;
constexpr int kDeviceList = 203;

class WizardLab : public WizardTest {};

TEST_F(WizardLab, TheSearchPageListsTheCamerasOfTheLan) {
  const Lab lab = Lab::require();
  ASSERT_GE(lab.camAddresses.size(), 2u);
  CamSim first(lab, 0, {"--camera", "kind=text,ip=" + lab.camAddresses[0] + ",name=Front door"});
  CamSim second(lab, 1, {"--camera", "kind=broadcast,ip=" + lab.camAddresses[1] + ",name=Garage"});

  OpenWizard();
  ASSERT_TRUE(m_wizard->SelectLanguage(2));
  m_wizard->DoMsgId(CSetupWizardDlg::kIdStart);
  for (int page = 1; page < 4; ++page) m_wizard->DoMsgId(CSetupWizardDlg::kIdNext);
  ASSERT_EQ(m_wizard->GetPage(), 4);
  ASSERT_TRUE(RunLoopUntil([&] { return m_wizard->GetPage() == 5; }, 10000));

  auto* search = dynamic_cast<wxButton*>(wxWindow::FindWindowById(kSearchButton, m_wizard));
  auto* list = dynamic_cast<wxListCtrl*>(wxWindow::FindWindowById(kDeviceList, m_wizard));
  ASSERT_NE(search, nullptr);
  ASSERT_NE(list, nullptr);
  wxCommandEvent press(wxEVT_BUTTON, kSearchButton);
  press.SetEventObject(search);
  search->GetEventHandler()->ProcessEvent(press);
  ASSERT_TRUE(RunLoopUntil([&] { return !search->IsEnabled(); }, 2000));
  ASSERT_TRUE(RunLoopUntil([&] { return search->IsEnabled(); }, 10000));

  std::set<std::string> rows;
  for (long i = 0; i < list->GetItemCount(); ++i)
    rows.insert(std::string((list->GetItemText(i, 1) + " " + list->GetItemText(i, 2)).utf8_str()));
  const std::set<std::string> expected = {"Front door " + lab.camAddresses[0], "Garage " + lab.camAddresses[1]};
  EXPECT_EQ(rows, expected);
}

}  // namespace
