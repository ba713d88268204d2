// The search dialog with the real engine inside the isolated lab network,
// against simulated cameras of both protocols.
#include "../platform/wx_environment.h"
#include "lab_support.h"
#include "platform/msgbox.h"
#include "searchui/searchdlg.h"
#include "searchui/templates.h"

#include <wx/frame.h>
#include <wx/gauge.h>
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
        m_dlg->m_periods.restart_tick_ms = 20;
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

    long Row(const std::string& name) const {
        for (long i = 0; i < m_dlg->m_deviceList->GetItemCount(); ++i)
            if (m_dlg->m_deviceList->GetItemText(i, 1) == wxString::FromUTF8(name)) return i;
        return -1;
    }
    void Select(long row) {
        m_dlg->m_deviceList->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        m_dlg->OnClickDeviceList(row);
    }
    bool Restarting() const { return m_dlg->m_progress->IsShown(); }
    // The rest of the restart wait, on its own timer with ticks of 20 ms (set
    // in SetUp), and the search that ends it.
    void FinishRestartWait() {
        ASSERT_TRUE(PumpUntil([&] { return !Restarting(); }, 10000));
        ASSERT_TRUE(PumpUntil([&] { return m_dlg->FindWindow(IDC_SEARCH)->IsEnabled(); }, 10000));
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

TEST_F(SearchLab, ChangedCamerasAreFoundAtTheirNewAddressesAfterTheWait) {
    const std::string& a = m_lab.camAddresses[0];
    const std::string& b = m_lab.camAddresses[1];
    CamSim text_cam(m_lab, 0, {"--restart-delay-ms", "300", "--camera",
                               "kind=text,ip=" + a + ",name=Front door,user=admin,password=secret"});
    CamSim broadcast_cam(m_lab, 1, {"--restart-delay-ms", "300", "--camera",
                                    "kind=broadcast,ip=" + b + ",name=Garden,user=admin,password=secret"});
    SearchAndWait();
    ASSERT_EQ(m_dlg->m_deviceList->GetItemCount(), 2);

    // Text protocol: a new address and port, then the port command and the wait.
    Select(Row("Front door"));
    m_dlg->SetControlText(IDC_IP, "10.213.0.77");
    m_dlg->SetControlText(IDC_HTTP_PORT, "8081");
    m_dlg->SetControlText(IDC_ACCOUNT, "admin");
    m_dlg->SetControlText(IDC_PASSWORD, "secret");
    m_dlg->OnUpdate();
    ASSERT_TRUE(PumpUntil([&] { return Restarting(); }, 10000)) << "no answer to netconf";
    ASSERT_TRUE(PumpUntil([&] { return m_boxes.size() >= 2; }, 10000)) << "no answer to httpport";
    EXPECT_EQ(m_boxes[1].text, "Device information successfully updated!");
    // The camera restarts with both changes.
    ASSERT_TRUE(waitFor([&] { return !text_cam.events("applied").empty(); }));
    FinishRestartWait();
    EXPECT_EQ(Rows(), (std::set<std::string>{"Front door 10.213.0.77", "Garden " + b}));
    Select(Row("Front door"));
    EXPECT_EQ(m_dlg->ControlText(IDC_HTTP_PORT), "8081");

    // Broadcast protocol: one set request, answered at once.
    m_boxes.clear();
    Select(Row("Garden"));
    m_dlg->SetControlText(IDC_IP, "10.213.0.78");
    m_dlg->SetControlText(IDC_ACCOUNT, "admin");
    m_dlg->SetControlText(IDC_PASSWORD, "secret");
    m_dlg->OnUpdate();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].caption, "Tips");
    ASSERT_TRUE(Restarting()) << "the camera did not accept the settings";
    ASSERT_TRUE(waitFor([&] { return !broadcast_cam.events("applied").empty(); }));
    FinishRestartWait();
    EXPECT_EQ(Rows(), (std::set<std::string>{"Front door 10.213.0.77", "Garden 10.213.0.78"}));
}

TEST_F(SearchLab, CamerasOnOneFactoryAddressAreEachListedAndChangedOneByOne) {
    const std::string& a = m_lab.camAddresses[1];
    std::vector<std::string> args = {"--restart-delay-ms", "300"};
    for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        args.insert(args.end(), {"--camera", "kind=broadcast,ip=" + a + ",mac=02:4B:53:00:09:0" + n + ",name=New camera " + n});
    }
    CamSim cams(m_lab, 1, args);
    SearchAndWait();
    EXPECT_EQ(Rows(), (std::set<std::string>{"New camera 1 " + a, "New camera 2 " + a, "New camera 3 " + a}));

    Select(Row("New camera 2"));
    m_dlg->SetControlText(IDC_IP, "10.213.0.92");
    m_dlg->SetControlText(IDC_ACCOUNT, "admin");
    m_dlg->SetControlText(IDC_PASSWORD, "admin");
    m_dlg->OnUpdate();
    ASSERT_TRUE(Restarting()) << "the camera did not accept the settings";
    ASSERT_TRUE(waitFor([&] { return !cams.events("applied").empty(); }));
    const auto applied = cams.events("applied");
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0]["camera"], "02:4B:53:00:09:02");
    FinishRestartWait();
    EXPECT_EQ(Rows(), (std::set<std::string>{"New camera 1 " + a, "New camera 2 10.213.0.92", "New camera 3 " + a}));
}

}  // namespace
