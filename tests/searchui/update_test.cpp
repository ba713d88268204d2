// Changing a camera's settings through the dialog, with the engine's commands
// observed and its results fed back from another thread.
#include "dialog_fixture.h"

#include <wx/gauge.h>
#include <wx/spinbutt.h>

namespace {

constexpr const char* kSecondMac = "00:1A:2B:3C:4D:02";

class UpdateTest : public DialogTest {
protected:
    // One camera of each kind listed; the text camera's own port is 80.
    void Fill() {
        m_engine->addresses = "10.0.0.1";
        m_engine->address_count = 1;
        Make(GetParam());
        SearchAndFill({TextCamera("00:1A:2B:3C:4D:01", "10.0.0.5", "Front door"),
                       TextCamera(kSecondMac, "10.0.0.6", "Garage")},
                      {BroadcastCamera("10.0.1.5", "Garden", 8080, 0)});
    }
    void Type(int id, const std::string& text) { m_dlg->SetControlText(id, text); }
    std::string BoxText(size_t i) const { return i < m_boxes.size() ? m_boxes[i].text : "<no box>"; }
    std::string Lang(const char* key) const { return m_dlg->m_lang.GetText(key); }
    bool Restarting() const { return m_dlg->m_progress->IsShown(); }
    // Runs the queued hand-overs from the engine's threads.
    void Settle() {
        for (int i = 0; i < 5; ++i) {
            wxTheApp->ProcessPendingEvents();
            wxTheApp->Yield(true);
        }
    }
};

TEST_P(UpdateTest, WithoutASelectionTheUserIsAskedToChooseOne) {
    Fill();
    m_dlg->OnUpdate();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Lang(kKeyNoSelection));
    EXPECT_EQ(m_boxes[0].caption, Lang(kKeyTipsCaption));
    EXPECT_EQ(m_boxes[0].flags, platform::MB_ICONINFORMATION);
    EXPECT_TRUE(m_engine->commands.empty());
}

TEST_P(UpdateTest, AnsweringNoSendsNothing) {
    Fill();
    Select(0);
    m_answer = platform::IDNO;
    m_dlg->OnUpdate();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Lang(kKeyAskUpdate));
    EXPECT_EQ(m_boxes[0].caption, Lang(kKeyAskCaption));
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
        const char* key;
    } cases[] = {
        {"", "255.255.255.0", "10.0.0.254", kKeyBadIp},
        {"", "", "", kKeyBadIp},
        {"10.0.0.9", "", "", kKeyBadMask},
        {"10.0.0.9", "255.255.255.0", "", kKeyBadGateway},
        {"10.0.0.1", "255.255.255.0", "10.0.0.254", kKeyLocalIp},
    };
    for (const auto& c : cases) {
        m_boxes.clear();
        Type(IDC_IP, c.ip);
        Type(IDC_MASK, c.mask);
        Type(IDC_GATEWAY, c.gateway);
        m_dlg->OnUpdate();
        ASSERT_EQ(m_boxes.size(), 2u) << c.key;
        EXPECT_EQ(m_boxes[1].text, Lang(c.key));
        EXPECT_EQ(m_boxes[1].caption, Lang(kKeyTipsCaption));
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

TEST_P(UpdateTest, PortCommandFollowsTheNetworkCommandOnlyForAChangedPort) {
    for (const char* port : {"80", "8002", "55555"}) {
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
        EXPECT_EQ(m_boxes[1].text, BuiltinTextsFor(GetParam()).settings_updated);
        m_frame->DestroyChildren();
        m_boxes.clear();
        m_engine->commands.clear();
    }
}

TEST_P(UpdateTest, AChangedPortIsSentAfterTheNetworkCommandAndTheCameraRestarts) {
    Fill();
    Select(0);
    Type(IDC_IP, "10.0.0.50");
    Type(IDC_HTTP_PORT, "8081");
    Type(IDC_ACCOUNT, "admin");
    Type(IDC_PASSWORD, "secret");
    m_dlg->OnUpdate();
    ASSERT_EQ(m_engine->commands.size(), 1u);
    const auto& netconf = m_engine->commands[0];
    EXPECT_EQ(netconf.kind, "netconf");
    EXPECT_EQ(netconf.device_id, "KP3A00000000000000000000000A0001");
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
    EXPECT_EQ(m_engine->commands[1].device_id, "KP3A00000000000000000000000A0001");
    EXPECT_TRUE(Restarting());
    EXPECT_EQ(m_dlg->m_editState, 0);
    EXPECT_FALSE(Control(IDC_UPDATE)->IsEnabled());
    EXPECT_EQ(m_boxes.size(), 1u);  // the question only, so far

    m_engine->Result("200");
    Settle();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, BuiltinTextsFor(GetParam()).settings_updated);
    EXPECT_EQ(m_boxes[1].caption, BuiltinTextsFor(GetParam()).caption);
    EXPECT_EQ(m_boxes[1].owner, m_frame);

    // The copy holds what was typed: selecting the row again shows it.
    Select(1);
    Select(0);
    EXPECT_EQ(Text(IDC_IP), "10.0.0.50");
}

TEST_P(UpdateTest, RefusedCredentialsAndOtherAnswers) {
    Fill();
    Select(0);
    m_dlg->OnUpdate();
    m_engine->Result("401");
    m_engine->Result("403");
    Settle();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, BuiltinTextsFor(GetParam()).wrong_credentials);
    EXPECT_EQ(m_boxes[1].caption, BuiltinTextsFor(GetParam()).caption);
    EXPECT_EQ(m_boxes[1].flags, platform::MB_ICONINFORMATION);
    EXPECT_EQ(m_dlg->OnCommandResult("403"), 0);
    EXPECT_EQ(m_boxes.size(), 2u);
}

TEST_P(UpdateTest, NoPortCommandGoesToABroadcastCameraSelectedMeanwhile) {
    Fill();
    Select(0);
    Type(IDC_HTTP_PORT, "8081");
    m_dlg->OnUpdate();
    Select(2);
    m_engine->Result("200");
    Settle();
    EXPECT_EQ(m_engine->commands.size(), 1u);
    EXPECT_FALSE(Restarting());
    EXPECT_EQ(m_dlg->SendHttpPort(), -1);
}

TEST_P(UpdateTest, RestartWaitLastsFortyFiveTicksRefusesToCloseAndSearchesAtItsEnd) {
    Fill();
    Select(0);
    Type(IDC_HTTP_PORT, "8081");
    m_dlg->OnUpdate();
    m_engine->Result("200");
    Settle();
    ASSERT_TRUE(Restarting());
    EXPECT_EQ(m_dlg->m_progress->GetValue(), 0);
    EXPECT_TRUE(Control(IDC_RESTART_LABEL)->IsShown());
    const size_t searches = m_engine->searches.size();

    m_boxes.clear();
    EXPECT_EQ(m_dlg->CanClose(), 0);
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, m_dlg->GetId());
    close.SetCanVeto(true);
    m_dlg->GetEventHandler()->ProcessEvent(close);
    EXPECT_TRUE(close.GetVeto());
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[0].text, Lang(kKeyRestarting));
    EXPECT_EQ(m_boxes[0].caption, Lang(kKeyTipsCaption));

    for (int tick = 1; tick < 45; ++tick) m_dlg->OnTimer(CSearchDlgBase::TIMER_RESTART);
    EXPECT_TRUE(Restarting());
    EXPECT_EQ(m_dlg->m_restart.Ticks(), 44);
    EXPECT_EQ(m_dlg->m_progress->GetValue(), 44);
    EXPECT_EQ(m_engine->searches.size(), searches);
    // A click on a row during the wait selects the camera again.
    Select(1);
    EXPECT_EQ(m_dlg->m_editState, 1);

    m_dlg->OnTimer(CSearchDlgBase::TIMER_RESTART);
    EXPECT_FALSE(Restarting());
    EXPECT_FALSE(Control(IDC_RESTART_LABEL)->IsShown());
    EXPECT_EQ(m_engine->searches.size(), searches + 2);
    EXPECT_EQ(m_dlg->CanClose(), 1);
    m_dlg->OnTimer(CSearchDlgBase::TIMER_RESTART);  // a stray tick changes nothing
    EXPECT_EQ(m_engine->searches.size(), searches + 2);
}

TEST_P(UpdateTest, PortSpinStepsTheTextWithinItsLimits) {
    Fill();
    Select(0);
    const struct {
        const char* before;
        int delta;
        const char* after;
    } cases[] = {{"80", 1, "81"},      {"80", -1, "79"}, {"65535", 1, "65535"}, {"1", -1, "1"},
                 {"port", 1, "1"},     {"port", -1, "port"}, {"2", -1, "1"}};
    for (const auto& c : cases) {
        Type(IDC_HTTP_PORT, c.before);
        m_dlg->OnDeltaposPortSpin(c.delta);
        EXPECT_EQ(Text(IDC_HTTP_PORT), c.after) << c.before << " " << c.delta;
    }
    // Both arrows keep reporting, whatever was stepped before.
    for (int i = 0; i < 3; ++i) {
        wxSpinEvent down(wxEVT_SPIN_DOWN, IDC_PORT_SPIN);
        down.SetEventObject(m_dlg->m_portSpin);
        m_dlg->m_portSpin->GetEventHandler()->ProcessEvent(down);
    }
    EXPECT_EQ(Text(IDC_HTTP_PORT), "1");
    EXPECT_EQ(m_dlg->m_portSpin->GetValue(), CSearchDlgBase::kSpinMiddle);
}

TEST_P(UpdateTest, BroadcastCameraGetsTheTypedFieldsAndItsAnswerIsShown) {
    const struct {
        int result;
        const char* key;
        const char* caption;
        unsigned flags;
        bool restarts;
    } cases[] = {
        {1, kKeyBroadcastOk, kBroadcastResultCaption, platform::MB_OK, true},
        {0, kKeyBroadcastFailed, kBroadcastResultCaption, platform::MB_OK, false},
        {-1, kKeyBroadcastRefused, nullptr, platform::MB_ICONINFORMATION, false},
        {-2, kKeyBroadcastRefused, nullptr, platform::MB_ICONINFORMATION, false},
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
        EXPECT_EQ(sent.http_port[0] | (sent.http_port[1] << 8), 8090);
        EXPECT_STREQ(sent.user, "viewer");
        EXPECT_EQ(std::string(sent.password, strnlen(sent.password, sizeof sent.password)), std::string(32, 'p'));
        EXPECT_EQ(sent.reserved3[5], 0xA5);  // the camera's own bytes go back unchanged
        ASSERT_EQ(m_boxes.size(), 2u) << c.result;
        EXPECT_EQ(m_boxes[1].text, Lang(c.key)) << c.result;
        EXPECT_EQ(m_boxes[1].caption, c.caption ? std::string(c.caption) : Lang(kKeyTipsCaption));
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
    }
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
    EXPECT_EQ(m_engine->sets[0].http_port[0] | (m_engine->sets[0].http_port[1] << 8), 80);
}

TEST_P(UpdateTest, TheUpdateKeyWorksOnlyWhileACameraIsSelected) {
    Fill();
    Key(WXK_F5, Control(IDC_ACCOUNT));
    EXPECT_TRUE(m_boxes.empty());  // the update button is locked
    Select(0);
    Key(WXK_F5, Control(IDC_ACCOUNT));
    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_engine->commands.size(), 1u);
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
