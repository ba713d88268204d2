// The search dialog under a virtual display, driven through its handlers with
// the engine's callbacks fed by hand.
#include "dialog_fixture.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/gauge.h>

namespace {

const DeviceRecord kFront = TextCamera("00:1A:2B:3C:4D:01", "10.0.0.5", "Front door");
const DeviceRecord kGarage = TextCamera("00:1A:2B:3C:4D:02", "10.0.0.6", "Garage");
const BroadcastRecord kGarden = BroadcastCamera("10.0.1.5", "Garden", 8080, 0);

TEST_P(DialogTest, SearchFillsTheListOnceItsTimerFires) {
    Make(GetParam());
    m_dlg->OnSearch();
    EXPECT_EQ(m_engine->searches, (std::vector<char>{'M', 'L'}));
    EXPECT_FALSE(Control(IDC_SEARCH)->IsEnabled());
    m_engine->Found(kFront);
    m_engine->FoundBroadcast(kGarden);
    EXPECT_EQ(m_dlg->m_deviceList->GetItemCount(), 0);  // not row by row

    m_dlg->OnTimer(CSearchDlgBase::TIMER_LIST);
    ASSERT_EQ(m_dlg->m_deviceList->GetItemCount(), 2);
    EXPECT_EQ(Cell(0, 0), "1");
    EXPECT_EQ(Cell(0, 1), "Front door");
    EXPECT_EQ(Cell(0, 2), "10.0.0.5");
    EXPECT_EQ(Cell(1, 0), "2");
    EXPECT_EQ(Cell(1, 1), "Garden");
    EXPECT_EQ(Cell(1, 2), "10.0.1.5");
    EXPECT_EQ(Text(IDC_DEVICE_COUNT), "2 pcs");
    EXPECT_TRUE(Control(IDC_SEARCH)->IsEnabled());

    // A new search empties the list; late arrivals wait for the next fill.
    m_dlg->OnSearch();
    EXPECT_EQ(m_dlg->m_deviceList->GetItemCount(), 0);
    EXPECT_EQ(Text(IDC_DEVICE_COUNT), "2 pcs");
    m_dlg->OnTimer(CSearchDlgBase::TIMER_LIST);
    EXPECT_EQ(Text(IDC_DEVICE_COUNT), "0 pcs");
    m_engine->Found(kGarage);
    EXPECT_EQ(m_dlg->m_deviceList->GetItemCount(), 0);
}

TEST_P(DialogTest, EachCameraIsListedOncePerProtocol) {
    Make(GetParam());
    const DeviceRecord same_mac = TextCamera("00:1A:2B:3C:4D:01", "10.0.0.99", "Impostor");
    const BroadcastRecord same_ip = BroadcastCamera("10.0.1.5", "Echo");
    const BroadcastRecord front_by_broadcast = BroadcastCamera("10.0.0.5", "Front door (L)");
    SearchAndFill({kFront, kFront, same_mac, kGarage}, {kGarden, same_ip, front_by_broadcast});
    ASSERT_EQ(m_dlg->m_deviceList->GetItemCount(), 4);
    EXPECT_EQ(Cell(0, 1), "Front door");
    EXPECT_EQ(Cell(1, 1), "Garage");
    EXPECT_EQ(Cell(2, 1), "Garden");
    EXPECT_EQ(Cell(3, 1), "Front door (L)");
    EXPECT_EQ(Text(IDC_DEVICE_COUNT), "4 pcs");
}

TEST_P(DialogTest, SelectingEachKindShowsItsSettings) {
    Make(GetParam());
    DeviceRecord dhcp_camera = kGarage;
    dhcp_camera.dhcp = 1;
    SearchAndFill({kFront, dhcp_camera}, {kGarden});

    Select(0);
    EXPECT_EQ(m_dlg->m_editState, 1);
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Front door");
    EXPECT_EQ(Text(IDC_SYSTEM_VERSION), "3.2.1");
    EXPECT_EQ(Text(IDC_APP_VERSION), "1.8.0");
    EXPECT_EQ(Text(IDC_IP), "10.0.0.5");
    EXPECT_EQ(Text(IDC_MASK), "255.255.255.0");
    EXPECT_EQ(Text(IDC_GATEWAY), "10.0.0.254");
    EXPECT_EQ(Text(IDC_DNS1), "10.0.0.53");
    EXPECT_EQ(Text(IDC_DNS2), "10.0.0.54");
    EXPECT_EQ(Text(IDC_HTTP_PORT), "80");
    EXPECT_EQ(Text(IDC_LAN_ADDRESS), "http://10.0.0.5:80");
    EXPECT_FALSE(m_dlg->m_dhcpCheck->GetValue());
    EXPECT_TRUE(Control(IDC_DNS2)->IsShown());

    Select(2);
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Garden");
    EXPECT_EQ(Text(IDC_SYSTEM_VERSION), "2.0.7");
    EXPECT_EQ(Text(IDC_APP_VERSION), "2.0.1");
    EXPECT_EQ(Text(IDC_IP), "10.0.1.5");
    EXPECT_EQ(Text(IDC_MASK), "255.255.0.0");
    EXPECT_EQ(Text(IDC_DNS1), "10.0.1.53");
    EXPECT_EQ(Text(IDC_HTTP_PORT), "8080");
    EXPECT_EQ(Text(IDC_LAN_ADDRESS), "http://10.0.1.5:8080");
    EXPECT_FALSE(Control(IDC_DNS2)->IsShown());
    EXPECT_FALSE(Control(IDC_DNS2_LABEL)->IsShown());
    EXPECT_EQ(Text(IDC_DNS2), "10.0.0.54");  // only hidden

    Select(1);
    EXPECT_TRUE(Control(IDC_DNS2)->IsShown());
    EXPECT_TRUE(Control(IDC_DNS2_LABEL)->IsShown());
    EXPECT_TRUE(m_dlg->m_dhcpCheck->GetValue());

    // A search clears the fields but keeps the application firmware version.
    m_dlg->OnSearch();
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "");
    EXPECT_EQ(Text(IDC_IP), "0.0.0.0");
    EXPECT_EQ(Text(IDC_HTTP_PORT), "80");
    EXPECT_EQ(Text(IDC_APP_VERSION), "1.8.0");
}

TEST_P(DialogTest, SettingsAreLockedUntilACameraIsSelectedAndFollowTheAutomaticBox) {
    Make(GetParam());
    DeviceRecord dhcp_camera = kGarage;
    dhcp_camera.dhcp = 1;
    SearchAndFill({kFront, dhcp_camera});
    for (int id : {IDC_DHCP, IDC_IP, IDC_MASK, IDC_GATEWAY, IDC_DNS1, IDC_DNS2, IDC_PORT_SPIN, IDC_UPDATE})
        EXPECT_FALSE(Control(id)->IsEnabled()) << id;
    // Edits are made read-only rather than disabled.
    for (int id : {IDC_HTTP_PORT, IDC_ACCOUNT, IDC_PASSWORD}) {
        EXPECT_TRUE(Control(id)->IsEnabled()) << id;
        EXPECT_FALSE(Editable(id)) << id;
    }
    EXPECT_TRUE(Editable(IDC_LAN_ADDRESS));  // never locked

    Select(0);
    for (int id : {IDC_DHCP, IDC_IP, IDC_MASK, IDC_GATEWAY, IDC_DNS1, IDC_DNS2, IDC_PORT_SPIN, IDC_UPDATE})
        EXPECT_TRUE(Control(id)->IsEnabled()) << id;
    for (int id : {IDC_HTTP_PORT, IDC_ACCOUNT, IDC_PASSWORD}) EXPECT_TRUE(Editable(id)) << id;

    Select(1);  // takes its address automatically
    for (int id : {IDC_IP, IDC_MASK, IDC_GATEWAY, IDC_DNS1, IDC_DNS2})
        EXPECT_FALSE(Control(id)->IsEnabled()) << id;
    EXPECT_TRUE(Control(IDC_DHCP)->IsEnabled());
    EXPECT_TRUE(Editable(IDC_HTTP_PORT));

    // Any state but 0 and 1 changes nothing.
    m_dlg->EnableGroup(2);
    EXPECT_TRUE(Control(IDC_DHCP)->IsEnabled());
    EXPECT_FALSE(Control(IDC_FACTORY_DEFAULT)->IsShown());
}

TEST_P(DialogTest, AClickOnARowShowsItsCameraAndAClickBesideTheRowsClearsTheMark) {
    Make(GetParam());
    m_frame->SetClientSize(m_dlg->GetMinSize());
    m_frame->Show();
    SearchAndFill({kFront, kGarage});
    wxWindow* rows = ListInner();
    ASSERT_NE(rows, m_dlg->m_deviceList);
    ASSERT_TRUE(PumpUntil([&] { return rows->GetPosition().y > 0; }));  // laid out below the header
    auto click = [&](const wxPoint& at) {
        wxMouseEvent up(wxEVT_LEFT_UP);
        up.SetPosition(at);
        up.SetEventObject(rows);
        rows->GetEventHandler()->ProcessEvent(up);
    };
    wxRect second;
    ASSERT_TRUE(m_dlg->m_deviceList->GetItemRect(1, second));
    click(rows->ScreenToClient(m_dlg->m_deviceList->ClientToScreen(second.GetPosition() + wxPoint(5, second.height / 2))));
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Garage");
    EXPECT_EQ(m_dlg->m_editState, 1);

    Select(0);
    click(wxPoint(5, rows->GetClientSize().y - 3));
    EXPECT_EQ(m_dlg->SelectionMark(), -1);
    EXPECT_EQ(m_dlg->m_editState, 1);  // a click beside the rows leaves the state
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Front door");
}

TEST_P(DialogTest, ArrowKeysInTheListSelectTheNeighbourWithinTheRows) {
    Make(GetParam());
    wxWindow* list = ListInner();

    // Down in an empty list clears the selection mark and unlocks nothing.
    EXPECT_FALSE(Key(WXK_DOWN, list));
    EXPECT_EQ(m_dlg->SelectionMark(), -1);
    EXPECT_EQ(m_dlg->m_editState, 0);

    SearchAndFill({kFront, kGarage}, {kGarden});
    Select(0);
    EXPECT_FALSE(Key(WXK_UP, list));  // the key goes on to the list
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Front door");
    EXPECT_FALSE(Key(WXK_DOWN, list));
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Garage");

    Select(2);
    EXPECT_FALSE(Key(WXK_DOWN, list));
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Garden");
    EXPECT_EQ(m_dlg->m_editState, 1);

    // Arrows in other controls are theirs alone.
    Select(0);
    Key(WXK_DOWN, Control(IDC_ACCOUNT));
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Front door");
}

TEST_P(DialogTest, FunctionKeysWorkFromAnyControlButOnlyWhenTheirButtonIsEnabled) {
    Make(GetParam());
    Key(WXK_F3, Control(IDC_ACCOUNT));
    EXPECT_EQ(m_engine->searches.size(), 2u);
    Key(WXK_F3, ListInner());  // still collecting: nothing
    EXPECT_EQ(m_engine->searches.size(), 2u);
    m_engine->Found(kFront);
    m_dlg->OnTimer(CSearchDlgBase::TIMER_LIST);
    Key(WXK_F3, Control(IDC_PC_IP));
    EXPECT_EQ(m_engine->searches.size(), 4u);
    m_dlg->OnTimer(CSearchDlgBase::TIMER_LIST);

    Key(WXK_F6, Control(IDC_ACCOUNT));  // nothing selected: empty LAN address
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, BuiltinTextsFor(GetParam()).empty_lan_address);
    EXPECT_EQ(m_boxes[0].caption, BuiltinTextsFor(GetParam()).caption);
    EXPECT_EQ(m_boxes[0].flags, platform::MB_ICONEXCLAMATION);
    m_dlg->SetControlText(IDC_LAN_ADDRESS, "http://10.0.0.5:80");
    Key(WXK_F6, m_dlg);
    EXPECT_EQ(m_opened, std::vector<std::string>{"http://10.0.0.5:80"});
}

TEST_P(DialogTest, EscapeAndReturnNeverCloseTheDialog) {
    Make(GetParam());
    for (wxWindow* target : {static_cast<wxWindow*>(m_dlg), Control(IDC_SEARCH), ListInner(), Control(IDC_ACCOUNT)}) {
        EXPECT_TRUE(Key(WXK_ESCAPE, target));
        EXPECT_TRUE(Key(WXK_RETURN, target));
    }
    // Through the window's own event handling too.
    wxKeyEvent escape(wxEVT_CHAR_HOOK);
    escape.m_keyCode = WXK_ESCAPE;
    escape.SetEventObject(m_dlg);
    m_dlg->GetEventHandler()->ProcessEvent(escape);
    EXPECT_TRUE(m_dlg->IsShown());
    EXPECT_TRUE(m_engine->searches.empty());
}

TEST_P(DialogTest, WanButtonAsksForAnAddressAndOpensWhatIsTyped) {
    Make(GetParam());
    m_dlg->OnOpenWanAddress();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, BuiltinTextsFor(GetParam()).empty_wan_address);
    m_dlg->SetControlText(IDC_WAN_ADDRESS, "http://example.invalid");
    m_dlg->OnOpenWanAddress();
    EXPECT_EQ(m_opened, std::vector<std::string>{"http://example.invalid"});
}

TEST_P(DialogTest, TextsComeFromTheLanguageFileAndFollowItsName) {
    Make(GetParam());
    const bool english = GetParam() == Language::English;
    EXPECT_EQ(Text(IDC_SEARCH), english ? "Search(F3)" : "搜索(F3)");
    EXPECT_EQ(Text(IDC_DEVICE_COUNT), english ? "0 pcs" : "0 个设备");
    EXPECT_FALSE(Text(243).empty());
    m_dlg->m_lang.SetLangFile(english ? "lang_cn.ini" : "lang_en.ini");
    m_dlg->ApplyTexts();
    EXPECT_EQ(Text(IDC_SEARCH), english ? "搜索(F3)" : "Search(F3)");
    m_dlg->m_lang.SetLangFile("missing.ini");
    m_dlg->ApplyTexts();
    EXPECT_EQ(Text(IDC_SEARCH), "");
    EXPECT_EQ(Text(243), "");
}

TEST_P(DialogTest, TheFirstUsableAdapterIsShownWithAllItsAddressesAndDns) {
    AdapterInfo none{"lan9", "Adapter without address", 9, {}, {}, {}};
    AdapterInfo host{"lan8", "Host only", 8, {{"10.9.9.9", "255.255.255.255"}}, {}, {}};
    AdapterInfo office{"lan0", "Office network", 2, {{"10.0.0.1", "255.255.255.0"}, {"10.0.5.1", "255.255.0.0"}},
                       {"10.0.0.254"}, {"10.0.0.53", "10.0.0.54", "10.0.0.55"}};
    AdapterInfo lab{"lan1", "Lab network", 3, {{"10.213.0.1", "255.255.255.0"}}, {}, {}};
    m_engine->adapters = {none, host, office, lab};
    m_engine->addresses = "0.0.0.0,10.9.9.9,10.0.0.1,10.213.0.1";
    m_engine->address_count = 4;
    Make(GetParam());

    EXPECT_EQ(m_dlg->m_adapterCombo->GetCount(), 4u);
    EXPECT_EQ(m_dlg->m_adapterCombo->GetSelection(), 2);
    EXPECT_EQ(Text(IDC_PC_IP), "10.0.0.1, 10.0.5.1");
    EXPECT_EQ(Text(IDC_PC_MASK), "255.255.255.0");
    EXPECT_EQ(Text(IDC_PC_GATEWAY), "10.0.0.254");
    EXPECT_EQ(Text(IDC_PC_DNS1), "10.0.0.53");
    EXPECT_EQ(Text(IDC_PC_DNS2), "10.0.0.54");
    EXPECT_EQ(m_engine->started_with,
              (std::vector<std::string>{"0.0.0.0", "10.9.9.9", "10.0.0.1", "10.213.0.1"}));

    m_dlg->m_adapterCombo->SetSelection(3);
    m_dlg->OnSelchangeAdapter();
    EXPECT_EQ(Text(IDC_PC_IP), "10.213.0.1");
    EXPECT_EQ(Text(IDC_PC_GATEWAY), "");
    EXPECT_EQ(Text(IDC_PC_DNS1), "");
    EXPECT_EQ(Text(IDC_PC_DNS2), "");
}

TEST_P(DialogTest, DestroyingTheDialogStopsItsEngine) {
    Make(GetParam());
    m_dlg->OnSearch();
    m_dlg->Destroy();
    wxTheApp->ProcessPendingEvents();
    EXPECT_TRUE(m_engine->stopped);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, DialogTest,
                         ::testing::Values(Language::English, Language::Chinese),
                         [](const auto& info) {
                             return info.param == Language::English ? "English" : "Chinese";
                         });

}  // namespace
