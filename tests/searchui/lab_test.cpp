// The search dialog with the real engine inside the isolated lab network,
// against simulated cameras of both protocols.
#include "../platform/wx_environment.h"
#include "lab_support.h"
#include "platform/msgbox.h"
#include "searchui/searchdlg.h"
#include "searchui/templates.h"

#include <wx/frame.h>
#include <wx/listctrl.h>

#include <set>

using namespace keplin::lab;
using namespace searchui;

namespace {

class SearchLab : public ::testing::Test {
protected:
    void SetUp() override {
        m_lab = Lab::require();
        ASSERT_GE(m_lab.camAddresses.size(), 2u);
        platform::SetMessageBoxHandler([this](const platform::MessageBoxCall& call) {
            m_boxes.push_back(call);
            return platform::IDYES;
        });
        m_frame = new wxFrame(nullptr, wxID_ANY, "lab");
        m_dlg = new CSearchEnDlg;
        ASSERT_TRUE(m_dlg->Create(m_frame, TEMPLATE_ENGLISH));
    }
    void TearDown() override {
        m_frame->Destroy();
        wxTheApp->ProcessPendingEvents();
        platform::SetMessageBoxHandler({});
    }

    // Searches and waits for the list to be filled by the dialog's own timer.
    void SearchAndWait() {
        m_dlg->OnSearch();
        ASSERT_TRUE(PumpUntil([&] { return m_dlg->FindWindow(IDC_SEARCH)->IsEnabled(); }, 10000));
    }
    std::set<std::string> Rows() const {
        std::set<std::string> rows;
        for (long i = 0; i < m_dlg->m_deviceList->GetItemCount(); ++i)
            rows.insert(std::string((m_dlg->m_deviceList->GetItemText(i, 1) + " " +
                                     m_dlg->m_deviceList->GetItemText(i, 2)).utf8_str()));
        return rows;
    }

    Lab m_lab;
    std::vector<platform::MessageBoxCall> m_boxes;
    wxFrame* m_frame = nullptr;
    CSearchDlgBase* m_dlg = nullptr;
};

TEST_F(SearchLab, ListsTheSimulatedCamerasOfBothKinds) {
    const std::string& a = m_lab.camAddresses[0];
    const std::string& b = m_lab.camAddresses[1];
    CamSim text_cams(m_lab, 0, {"--camera", "kind=text,ip=" + a + ",name=Front door",
                                "--camera", "kind=broadcast,ip=" + a + ",name=Front door L"});
    CamSim broadcast_cam(m_lab, 1, {"--camera", "kind=broadcast,ip=" + b + ",name=Garden"});

    SearchAndWait();
    EXPECT_EQ(Rows(), (std::set<std::string>{"Front door " + a, "Front door L " + a, "Garden " + b}));
    EXPECT_EQ(m_dlg->ControlText(IDC_DEVICE_COUNT), "3 pcs");
    EXPECT_TRUE(m_boxes.empty());
}

}  // namespace
