// Changing a camera's settings through the dialog, with the engine's commands
// observed and its results fed back from another thread.
#include "dialog_fixture.h"

#include <wx/gauge.h>

namespace {

constexpr const char* kFrontId = "00000000000000000000001A2B3C4D01";
constexpr const char* kGarageId = "00000000000000000000001A2B3C4D02";

class UpdateTest : public DialogTest {
protected:
    // Two text cameras and a broadcast one; the text cameras' own port is 80.
    void Fill() {
        m_engine->addresses = "10.0.0.1";
        m_engine->address_count = 1;
        Make(GetParam());
        SearchAndFill({TextCamera("00:1A:2B:3C:4D:01", "10.0.0.5", "Front door"),
                       TextCamera("00:1A:2B:3C:4D:02", "10.0.0.6", "Garage")},
                      {BroadcastCamera("10.0.1.5", "Garden", 8080, 0)});
    }
    void Type(int id, const std::string& text) { m_dlg->SetControlText(id, text); }
    bool Restarting() const { return m_dlg->m_progress->IsShown(); }
    // Runs the queued hand-overs from the engine's threads.
    void Settle() {
        for (int i = 0; i < 5; ++i) {
            wxTheApp->ProcessPendingEvents();
            wxTheApp->Yield(true);
        }
    }
    // A text camera updated to port 8081: the port command follows the "200".
    void UpdatePortAndAccept() {
        Select(0);
        Type(IDC_HTTP_PORT, "8081");
        m_dlg->OnUpdate();
        m_engine->Result("200");
        Settle();
    }
};

TEST_P(UpdateTest, WithoutASelectionTheUserIsAskedToChooseOne) {
    Fill();
    m_dlg->OnUpdate();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Expected().no_selection);
    EXPECT_EQ(m_boxes[0].caption, Expected().tips);
    EXPECT_EQ(m_boxes[0].flags, platform::MB_ICONINFORMATION);
    EXPECT_TRUE(m_engine->commands.empty());
}

TEST_P(UpdateTest, AnsweringNoSendsNothing) {
    Fill();
    Select(0);
    m_answer = platform::IDNO;
    m_dlg->OnUpdate();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Expected().ask_update);
    EXPECT_EQ(m_boxes[0].caption, Expected().ask_caption);
    EXPECT_EQ(m_boxes[0].flags, platform::MB_YESNO | platform::MB_ICONQUESTION);
    EXPECT_TRUE(m_engine->commands.empty());
    Select(2);
    m_dlg->OnUpdate();
    EXPECT_TRUE(m_engine->sets.empty());
}

TEST_P(UpdateTest, FixedAddressesAreCheckedInOrderAndNotAtAllWhenAutomatic) {
    Fill();
    Select(0);
    const struct {
        const char* ip;
        const char* mask;
        const char* gateway;
        const char* text;
    } cases[] = {
        {"", "255.255.255.0", "10.0.0.254", Expected().bad_ip},
        {"", "", "", Expected().bad_ip},
        {"10.0.0.9", "", "", Expected().bad_mask},
        {"10.0.0.9", "255.255.255.0", "", Expected().bad_gateway},
        {"10.0.0.1", "255.255.255.0", "10.0.0.254", Expected().local_ip},
    };
    for (const auto& c : cases) {
        m_boxes.clear();
        Type(IDC_IP, c.ip);
        Type(IDC_MASK, c.mask);
        Type(IDC_GATEWAY, c.gateway);
        m_dlg->OnUpdate();
        ASSERT_EQ(m_boxes.size(), 2u) << c.text;
        EXPECT_EQ(m_boxes[1].text, c.text);
        EXPECT_EQ(m_boxes[1].caption, Expected().tips);
        EXPECT_EQ(m_boxes[1].flags, platform::MB_ICONINFORMATION);
    }
    EXPECT_TRUE(m_engine->commands.empty());

    // Automatic: the zero addresses are not examined, and not sent either.
    m_boxes.clear();
    Type(IDC_IP, "");
    m_dlg->m_dhcpCheck->SetValue(true);
    m_dlg->OnDhcpCheck();
    EXPECT_FALSE(Control(IDC_IP)->IsEnabled());
    m_dlg->OnUpdate();
    EXPECT_EQ(m_boxes.size(), 1u);  // only the question
    EXPECT_TRUE(m_engine->commands.empty());
    Type(IDC_IP, "10.0.0.1");  // shown greyed, sent with automatic addressing
    Type(IDC_MASK, "255.255.255.0");
    m_dlg->OnUpdate();
    ASSERT_EQ(m_engine->commands.size(), 1u);
    EXPECT_EQ(m_engine->commands[0].record.dhcp, 1);
    EXPECT_STREQ(m_engine->commands[0].record.ip, "10.0.0.1");
}

TEST_P(UpdateTest, APortThatIsNoPortIsRefusedBeforeAnythingIsSent) {
    Fill();
    Select(0);
    for (const char* port : {"", "http", "0", "65536", "80 -x", "8080\r\nDevice-ID:x"}) {
        m_boxes.clear();
        Type(IDC_HTTP_PORT, port);
        m_dlg->OnUpdate();
        ASSERT_EQ(m_boxes.size(), 2u) << port;
        EXPECT_EQ(m_boxes[1].text, Expected().bad_port) << port;
        EXPECT_EQ(m_boxes[1].caption, Expected().caption);
        EXPECT_EQ(m_boxes[1].flags, platform::MB_ICONINFORMATION);
    }
    EXPECT_TRUE(m_engine->commands.empty());
    // A broadcast camera takes 80 for a port that is no number, as designed.
    Select(2);
    Type(IDC_HTTP_PORT, "http");
    m_dlg->OnUpdate();
    ASSERT_EQ(m_engine->sets.size(), 1u);
    EXPECT_EQ(broadcast_http_port(m_engine->sets[0]), 80);
}

TEST_P(UpdateTest, ControlCharactersInTheCredentialsAreRefusedForBothKinds) {
    Fill();
    for (long row : {0L, 2L}) {
        Select(row);
        for (const auto& [account, password] : {std::pair<std::string, std::string>{"admin\n", "secret"},
                                                {"admin", "sec\r\nret"},
                                                {"ad\tmin", "secret"}}) {
            m_boxes.clear();
            Type(IDC_ACCOUNT, account);
            Type(IDC_PASSWORD, password);
            m_dlg->OnUpdate();
            ASSERT_EQ(m_boxes.size(), 2u) << row << account;
            EXPECT_EQ(m_boxes[1].text, Expected().control_characters);
            EXPECT_EQ(m_boxes[1].caption, Expected().caption);
        }
    }
    EXPECT_TRUE(m_engine->commands.empty());
    EXPECT_TRUE(m_engine->sets.empty());
}

TEST_P(UpdateTest, PortCommandFollowsTheNetworkCommandOnlyForAChangedPort) {
    for (const char* port : {"80", "080", "8002", "55555"}) {
        Fill();
        Select(0);
        Type(IDC_HTTP_PORT, port);
        m_dlg->OnUpdate();
        ASSERT_EQ(m_engine->commands.size(), 1u) << port;
        EXPECT_EQ(m_dlg->m_sendPortAfterNetconf, 0) << port;
        m_engine->Result("200");
        Settle();
        EXPECT_EQ(m_engine->commands.size(), 1u) << port;
        EXPECT_FALSE(Restarting());
        ASSERT_EQ(m_boxes.size(), 2u) << port;
        EXPECT_EQ(m_boxes[1].text, Expected().updated);
        m_frame->DestroyChildren();
        m_boxes.clear();
        m_engine->commands.clear();
    }
}

TEST_P(UpdateTest, AChangedPortIsSentAfterTheNetworkCommandAndTheCameraRestarts) {
    Fill();
    Select(0);
    Type(IDC_IP, "10.0.0.50");
    Type(IDC_HTTP_PORT, " 8081 ");
    Type(IDC_ACCOUNT, "admin");
    Type(IDC_PASSWORD, "secret");
    m_dlg->OnUpdate();
    ASSERT_EQ(m_engine->commands.size(), 1u);
    const auto& netconf = m_engine->commands[0];
    EXPECT_EQ(netconf.kind, "netconf");
    EXPECT_EQ(netconf.device_id, kFrontId);
    EXPECT_EQ(netconf.user, "admin");
    EXPECT_EQ(netconf.password, "secret");
    EXPECT_STREQ(netconf.record.ip, "10.0.0.50");
    EXPECT_STREQ(netconf.record.mask, "255.255.255.0");
    EXPECT_EQ(m_dlg->m_sendPortAfterNetconf, 1);
    EXPECT_FALSE(Restarting());

    m_engine->Result("200");
    Settle();
    ASSERT_EQ(m_engine->commands.size(), 2u);
    EXPECT_EQ(m_engine->commands[1].kind, "httpport");
    EXPECT_EQ(m_engine->commands[1].port, "8081");
    EXPECT_EQ(m_engine->commands[1].device_id, kFrontId);
    EXPECT_TRUE(Restarting());
    EXPECT_EQ(m_dlg->m_editState, 0);
    EXPECT_FALSE(Control(IDC_UPDATE)->IsEnabled());
    EXPECT_EQ(m_boxes.size(), 1u);  // the question only, so far

    m_engine->Result("200");
    Settle();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, Expected().updated);
    EXPECT_EQ(m_boxes[1].caption, Expected().caption);
    EXPECT_EQ(m_boxes[1].owner, m_frame);
    EXPECT_EQ(m_engine->commands.size(), 2u);  // one port command, not one per "200"

    // The copy holds what was typed: selecting the row again shows it.
    Select(1);
    Select(0);
    EXPECT_EQ(Text(IDC_IP), "10.0.0.50");
}

TEST_P(UpdateTest, ThePortCommandGoesToTheConfirmedCameraWithTheTypedPort) {
    Fill();
    Select(0);
    Type(IDC_HTTP_PORT, "8081");
    Type(IDC_ACCOUNT, "admin");
    Type(IDC_PASSWORD, "secret");
    m_dlg->OnUpdate();
    // Before the camera's "200" arrives the user looks at other cameras.
    for (long row : {1L, 2L}) {
        Select(row);
        Type(IDC_HTTP_PORT, "9090");
        Type(IDC_ACCOUNT, "someone");
        m_engine->Result(row == 2 ? "200" : "100");
        Settle();
    }
    ASSERT_EQ(m_engine->commands.size(), 2u);
    const auto& port = m_engine->commands[1];
    EXPECT_EQ(port.kind, "httpport");
    EXPECT_EQ(port.device_id, kFrontId);
    EXPECT_NE(port.device_id, kGarageId);
    EXPECT_EQ(port.port, "8081");
    EXPECT_EQ(port.user, "admin");
    EXPECT_EQ(port.password, "secret");
    EXPECT_TRUE(Restarting());
    EXPECT_EQ(m_dlg->SendHttpPort(), -1);  // sent once
}

TEST_P(UpdateTest, RefusedCredentialsAndOtherAnswers) {
    Fill();
    Select(0);
    m_dlg->OnUpdate();
    m_engine->Result("401");
    m_engine->Result("403");
    Settle();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, Expected().wrong_credentials);
    EXPECT_EQ(m_boxes[1].caption, Expected().caption);
    EXPECT_EQ(m_boxes[1].flags, platform::MB_ICONINFORMATION);
    EXPECT_EQ(m_dlg->OnCommandResult("403"), 0);
    EXPECT_EQ(m_boxes.size(), 2u);
}

TEST_P(UpdateTest, RestartWaitRefusesToCloseForFortyFiveTicksThenSearches) {
    Fill();
    m_dlg->m_periods.restart_tick_ms = 10;
    m_dlg->m_periods.list_ms = 50;
    UpdatePortAndAccept();
    ASSERT_TRUE(Restarting());
    EXPECT_EQ(m_dlg->m_progress->GetRange(), 46);  // positions 1 to 47
    EXPECT_EQ(m_dlg->m_progress->GetValue(), m_dlg->m_restart.Ticks());
    EXPECT_TRUE(Control(IDC_RESTART_LABEL)->IsShown());
    const size_t searches = m_engine->searches.size();

    m_boxes.clear();
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, m_dlg->GetId());
    close.SetCanVeto(true);
    m_dlg->GetEventHandler()->ProcessEvent(close);
    EXPECT_TRUE(close.GetVeto());
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Expected().restarting);
    EXPECT_EQ(m_boxes[0].caption, Expected().tips);
    EXPECT_EQ(m_boxes[0].flags, platform::MB_ICONINFORMATION);

    // A click on a row during the wait selects the camera again.
    ASSERT_TRUE(RunLoopUntil([&] { return m_dlg->m_restart.Ticks() >= 10; }));
    Select(1);
    EXPECT_EQ(m_dlg->m_editState, 1);
    EXPECT_TRUE(Restarting());
    int progress_at_44 = -1;
    ASSERT_TRUE(RunLoopUntil([&] {
        if (m_dlg->m_restart.Ticks() == 44) progress_at_44 = m_dlg->m_progress->GetValue();
        return !Restarting();
    }));
    EXPECT_EQ(progress_at_44, 44);
    EXPECT_FALSE(Control(IDC_RESTART_LABEL)->IsShown());
    EXPECT_EQ(m_engine->searches.size(), searches + 2);
    EXPECT_EQ(m_dlg->CanClose(), 1);
    EXPECT_EQ(m_dlg->m_restart.Ticks(), 45);
}

// The timers of the list fill and the restart wait run side by side: a search
// started during the wait fills the list and the wait still ends on its 45th
// tick with a search of its own.
TEST_P(UpdateTest, ASearchDuringTheRestartWaitLeavesTheWaitRunning) {
    Fill();
    m_dlg->m_periods.restart_tick_ms = 20;
    m_dlg->m_periods.list_ms = 100;
    std::vector<std::pair<int, int>> fired;  // timer id, restart ticks before it
    m_dlg->Bind(wxEVT_TIMER, [&](wxTimerEvent& e) {
        fired.emplace_back(e.GetId(), m_dlg->m_restart.Ticks());
        e.Skip();
    });
    m_engine->set_result = 1;
    Select(2);
    m_dlg->OnUpdate();  // the broadcast camera accepts: the wait begins
    ASSERT_TRUE(Restarting());
    const size_t searches = m_engine->searches.size();

    ASSERT_TRUE(RunLoopUntil([&] { return m_dlg->m_restart.Ticks() >= 3; }));
    wxCommandEvent click(wxEVT_BUTTON, IDC_SEARCH);
    Control(IDC_SEARCH)->ProcessWindowEvent(click);
    EXPECT_EQ(m_engine->searches.size(), searches + 2);
    m_engine->FoundBroadcast(BroadcastCamera("10.0.1.5", "Garden", 8080, 0));

    ASSERT_TRUE(RunLoopUntil([&] { return Control(IDC_SEARCH)->IsEnabled(); })) << "the list was never filled";
    EXPECT_EQ(m_dlg->m_deviceList->GetItemCount(), 1);
    EXPECT_TRUE(Restarting());
    EXPECT_EQ(m_dlg->CanClose(), 0);

    ASSERT_TRUE(RunLoopUntil([&] { return !Restarting(); })) << "the wait never ended";
    EXPECT_EQ(m_engine->searches.size(), searches + 4);  // the wait's own search
    ASSERT_TRUE(RunLoopUntil([&] { return Control(IDC_SEARCH)->IsEnabled(); }));
    EXPECT_EQ(m_dlg->CanClose(), 1);

    std::vector<int> order;
    int restart_ticks = 0;
    for (const auto& [id, ticks] : fired) {
        if (id == CSearchDlgBase::TIMER_RESTART) ++restart_ticks;
        if (order.empty() || order.back() != id) order.push_back(id);
    }
    EXPECT_EQ(restart_ticks, 45);
    EXPECT_EQ(order, (std::vector<int>{CSearchDlgBase::TIMER_RESTART, CSearchDlgBase::TIMER_LIST,
                                       CSearchDlgBase::TIMER_RESTART, CSearchDlgBase::TIMER_LIST}));
}

TEST_P(UpdateTest, BroadcastCameraGetsTheTypedFieldsAndItsAnswerIsShown) {
    const struct {
        int result;
        const char* text;
        const char* caption;
        unsigned flags;
        bool restarts;
    } cases[] = {
        {1, Expected().broadcast_ok, "Tips", platform::MB_OK, true},
        {0, Expected().broadcast_failed, "Tips", platform::MB_OK, false},
        {-1, Expected().refused, Expected().tips, platform::MB_ICONINFORMATION, false},
        {-2, Expected().refused, Expected().tips, platform::MB_ICONINFORMATION, false},
    };
    for (const auto& c : cases) {
        Fill();
        m_engine->set_result = c.result;
        Select(2);
        Type(IDC_IP, "10.0.1.6");
        Type(IDC_GATEWAY, "10.0.1.1");
        Type(IDC_HTTP_PORT, "8090");
        Type(IDC_ACCOUNT, "viewer");
        Type(IDC_PASSWORD, std::string(50, 'p'));
        m_dlg->OnUpdate();
        ASSERT_EQ(m_engine->sets.size(), 1u) << c.result;
        const BroadcastRecord& sent = m_engine->sets[0];
        EXPECT_STREQ(sent.ip, "10.0.1.6");
        EXPECT_STREQ(sent.gateway, "10.0.1.1");
        EXPECT_STREQ(sent.mask, "255.255.0.0");
        EXPECT_EQ(sent.address_mode, 0);
        EXPECT_EQ(broadcast_http_port(sent), 8090);
        EXPECT_STREQ(sent.user, "viewer");
        EXPECT_EQ(rules::RawField(sent.password), std::string(32, 'p'));
        EXPECT_EQ(sent.reserved3[5], 0xA5);  // the camera's own bytes go back unchanged
        EXPECT_FALSE(m_engine->filtered[0]);  // the only camera at its address
        ASSERT_EQ(m_boxes.size(), 2u) << c.result;
        EXPECT_EQ(m_boxes[1].text, c.text) << c.result;
        EXPECT_EQ(m_boxes[1].caption, c.caption);
        EXPECT_EQ(m_boxes[1].flags, c.flags);
        EXPECT_EQ(Restarting(), c.restarts);

        // After the update, even a refused one, the row shows what was typed.
        Select(0);
        Select(2);
        EXPECT_EQ(Text(IDC_IP), "10.0.1.6");
        EXPECT_EQ(Text(IDC_HTTP_PORT), "8090");
        m_frame->DestroyChildren();
        m_boxes.clear();
        m_engine->sets.clear();
        m_engine->filtered.clear();
    }
}

TEST_P(UpdateTest, CamerasSharingAnAddressAreEachListedAndEachSetFromItsOwnRecord) {
    Make(GetParam());
    // Ten new cameras on one factory address, each answering through two adapters.
    std::vector<BroadcastRecord> cameras;
    for (uint8_t id = 1; id <= 10; ++id) {
        cameras.push_back(BroadcastCamera("192.168.1.168", "IPCAM", 80, 0, id));
        cameras.push_back(cameras.back());
    }
    SearchAndFill({}, cameras);
    ASSERT_EQ(m_dlg->m_deviceList->GetItemCount(), 10);
    EXPECT_EQ(Text(IDC_DEVICE_COUNT), "10 pcs");

    // The sixth camera gets a new address; only its own result counts.
    m_engine->set_results = {{cameras[0], -1}, {cameras[10], 1}, {cameras[2], 0}};
    Select(5);
    Type(IDC_IP, "192.168.1.106");
    Type(IDC_GATEWAY, "192.168.1.1");
    m_dlg->OnUpdate();
    ASSERT_EQ(m_engine->sets.size(), 1u);
    EXPECT_EQ(std::memcmp(m_engine->sets[0].reserved2, cameras[10].reserved2, sizeof cameras[10].reserved2), 0);
    EXPECT_STREQ(m_engine->sets[0].ip, "192.168.1.106");
    EXPECT_TRUE(m_engine->filtered[0]);
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, Expected().broadcast_ok);
    EXPECT_TRUE(Restarting());
}

TEST_P(UpdateTest, AutomaticBroadcastCameraGetsZeroAddressAndModeOne) {
    Fill();
    Select(2);
    m_dlg->m_dhcpCheck->SetValue(true);
    m_dlg->OnDhcpCheck();
    Type(IDC_HTTP_PORT, "not a port");
    m_dlg->OnUpdate();
    ASSERT_EQ(m_engine->sets.size(), 1u);
    EXPECT_STREQ(m_engine->sets[0].ip, "0.0.0.0");
    EXPECT_EQ(m_engine->sets[0].address_mode, 1);
    EXPECT_STREQ(m_engine->sets[0].gateway, "10.0.1.254");
    EXPECT_EQ(broadcast_http_port(m_engine->sets[0]), 80);
}

TEST_P(UpdateTest, ResultsOnTheirWayToADestroyedDialogAreDropped) {
    Fill();
    Select(0);
    Type(IDC_HTTP_PORT, "8081");
    m_dlg->OnUpdate();
    m_engine->Result("200");  // queued for the user-interface thread
    m_engine->Result("401");
    m_dlg->Destroy();
    Settle();
    EXPECT_EQ(m_engine->commands.size(), 1u);
    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_engine->stopped);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, UpdateTest,
                         ::testing::Values(Language::English, Language::Chinese),
                         [](const auto& info) {
                             return info.param == Language::English ? "English" : "Chinese";
                         });

}  // namespace
