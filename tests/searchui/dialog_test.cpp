// The search dialog under a virtual display, driven through its handlers with
// the engine's callbacks fed by hand.
#include "dialog_fixture.h"

#include "platform/winclass.h"
#include "searchui/updownctrl.h"

#include <unistd.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filename.h>
#include <wx/gauge.h>
#include <wx/stattext.h>

#include <cstdio>
#include <fstream>

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

// A flood of answers: the list stops at its capacity, keeps every camera it
// had, says so once, and its rows still read and move as a short list's do.
TEST_P(DialogTest, AFullListKeepsItsCamerasAndSaysSoOnce) {
    Make(GetParam());
    m_dlg->OnSearch();
    m_engine->Found(kFront);
    const int capacity = static_cast<int>(rules::kDeviceListCapacity);
    for (int n = 1; n < capacity + 10; ++n) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:00:00:%02X:%02X:%02X", n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF);
        m_engine->Found(TextCamera(mac, "10.1.0.1", "Junk"));
    }
    m_engine->Found(kGarage);  // after the list is full: not listed
    m_dlg->OnTimer(CSearchDlgBase::TIMER_LIST);

    ASSERT_EQ(m_dlg->m_deviceList->GetItemCount(), capacity);
    EXPECT_EQ(Text(IDC_DEVICE_COUNT), std::to_string(capacity) + " pcs");
    EXPECT_EQ(Cell(0, 1), "Front door");
    EXPECT_EQ(Cell(capacity - 1, 0), std::to_string(capacity));
    EXPECT_EQ(Cell(capacity - 1, 1), "Junk");
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, GetParam() == Language::English
                                   ? "More than 65536 answers; the first 65536 are listed."
                                   : "收到的应答超过 65536 个，只列出了前 65536 个。");

    // The last row, and Down beyond it.
    wxWindow* list = m_dlg->m_deviceList;
    Select(capacity - 2);
    PressKey(list, WXK_DOWN);
    EXPECT_EQ(m_dlg->SelectionMark(), capacity - 1);
    PressKey(list, WXK_DOWN);
    EXPECT_EQ(m_dlg->SelectionMark(), capacity - 1);
    EXPECT_EQ(Text(IDC_IP), "10.1.0.1");

    // The next search starts empty and says nothing while it is not full.
    SearchAndFill({kGarage});
    EXPECT_EQ(m_dlg->m_deviceList->GetItemCount(), 1);
    EXPECT_EQ(m_boxes.size(), 1u);
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
    wxWindow* list = m_dlg->m_deviceList;

    // Down in an empty list clears the selection mark and unlocks nothing.
    PressKey(list, WXK_DOWN);
    EXPECT_EQ(m_dlg->SelectionMark(), -1);
    EXPECT_EQ(m_dlg->m_editState, 0);

    SearchAndFill({kFront, kGarage}, {kGarden});
    Select(0);
    PressKey(list, WXK_UP);
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Front door");
    PressKey(list, WXK_DOWN);
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Garage");
    EXPECT_EQ(m_dlg->SelectionMark(), 1);  // the list moved its own selection too

    Select(2);
    PressKey(list, WXK_DOWN);
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Garden");
    EXPECT_EQ(m_dlg->m_editState, 1);

    // Arrows in other controls are theirs alone.
    Select(0);
    PressKey(Control(IDC_ACCOUNT), WXK_DOWN);
    EXPECT_EQ(Text(IDC_DEVICE_NAME), "Front door");
}

TEST_P(DialogTest, UpAndDownInThePortFieldStepThePort) {
    Make(GetParam());
    wxWindow* port = Control(IDC_HTTP_PORT);
    PressKey(port, WXK_UP);  // no camera selected: the up-down control is locked
    EXPECT_EQ(Text(IDC_HTTP_PORT), "80");

    SearchAndFill({kFront});
    Select(0);
    PressKey(port, WXK_UP);
    EXPECT_EQ(Text(IDC_HTTP_PORT), "81");
    PressKey(port, WXK_UP);
    PressKey(port, WXK_DOWN);
    EXPECT_EQ(Text(IDC_HTTP_PORT), "81");
    EXPECT_EQ(wxWindow::FindFocus(), port);  // the arrows did not move the focus on
    m_dlg->SetControlText(IDC_HTTP_PORT, "65535");
    PressKey(port, WXK_UP);
    EXPECT_EQ(Text(IDC_HTTP_PORT), "65535");
    m_dlg->SetControlText(IDC_HTTP_PORT, "1");
    PressKey(port, WXK_DOWN);
    EXPECT_EQ(Text(IDC_HTTP_PORT), "1");
    m_dlg->SetControlText(IDC_HTTP_PORT, "port");
    PressKey(port, WXK_UP);
    EXPECT_EQ(Text(IDC_HTTP_PORT), "1");

    // With the focus elsewhere the arrows leave the port alone.
    PressKey(Control(IDC_ACCOUNT), WXK_UP);
    PressKey(Control(IDC_PASSWORD), WXK_DOWN);
    EXPECT_EQ(Text(IDC_HTTP_PORT), "1");
}

TEST_P(DialogTest, FunctionKeysWorkFromAnyControlButOnlyWhenTheirButtonIsEnabled) {
    Make(GetParam());
    PressKey(Control(IDC_ACCOUNT), WXK_F3);
    EXPECT_EQ(m_engine->searches.size(), 2u);
    PressKey(m_dlg->m_deviceList, WXK_F3);  // still collecting: nothing
    EXPECT_EQ(m_engine->searches.size(), 2u);
    m_engine->Found(kFront);
    m_dlg->OnTimer(CSearchDlgBase::TIMER_LIST);
    PressKey(Control(IDC_PC_IP), WXK_F3);
    EXPECT_EQ(m_engine->searches.size(), 4u);
    m_engine->Found(kFront);
    m_dlg->OnTimer(CSearchDlgBase::TIMER_LIST);

    PressKey(Control(IDC_HTTP_PORT), WXK_F5);  // the update button is locked
    EXPECT_TRUE(m_boxes.empty());
    PressKey(Control(IDC_LAN_ADDRESS), WXK_F6);  // nothing selected: empty LAN address
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Expected().empty_lan);
    EXPECT_EQ(m_boxes[0].caption, Expected().caption);
    EXPECT_EQ(m_boxes[0].flags, platform::MB_ICONEXCLAMATION);

    Select(0);
    m_boxes.clear();
    PressKey(Control(IDC_ACCOUNT), WXK_F5);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Expected().ask_update);
    EXPECT_EQ(m_engine->commands.size(), 1u);
    PressKey(Control(IDC_PASSWORD), WXK_F6);
    EXPECT_EQ(m_opened, std::vector<std::string>{"http://10.0.0.5:80"});
}

TEST_P(DialogTest, EscapeAndReturnNeverCloseTheDialog) {
    Make(GetParam());
    for (wxWindow* target : {Control(IDC_SEARCH), Control(IDC_DEVICE_LIST), Control(IDC_ACCOUNT), Control(IDC_HTTP_PORT)}) {
        PressKey(target, WXK_ESCAPE);
        PressKey(target, WXK_RETURN);
    }
    EXPECT_TRUE(m_dlg->IsShown());
    EXPECT_TRUE(m_frame->IsShown());
    EXPECT_TRUE(m_engine->searches.empty());  // Return did not press the search button
    EXPECT_TRUE(m_boxes.empty());
}

TEST_P(DialogTest, WanButtonAsksForAnAddressAndOpensWhatIsTyped) {
    Make(GetParam());
    m_dlg->OnOpenWanAddress();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Expected().empty_wan);
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

    // An adapter without an address shows what the adapter records hold.
    m_dlg->m_adapterCombo->SetSelection(0);
    m_dlg->OnSelchangeAdapter();
    EXPECT_EQ(Text(IDC_PC_IP), "0.0.0.0");
    EXPECT_EQ(Text(IDC_PC_MASK), "0.0.0.0");
    EXPECT_EQ(Text(IDC_PC_GATEWAY), "");
}

TEST_P(DialogTest, ListColumnsHaveTheirHeadingsAndWidths) {
    Make(GetParam());
    ASSERT_EQ(m_dlg->m_deviceList->GetColumnCount(), 3);
    const struct {
        const char* heading;
        int width;
    } columns[] = {{"No.", 40}, {"DeviceName", 80}, {"IP", 115}};
    for (int i = 0; i < 3; ++i) {
        wxListItem column;
        column.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_WIDTH | wxLIST_MASK_FORMAT);
        ASSERT_TRUE(m_dlg->m_deviceList->GetColumn(i, column));
        EXPECT_EQ(column.GetText(), columns[i].heading);
        EXPECT_EQ(column.GetWidth(), columns[i].width);
        EXPECT_EQ(column.GetAlign(), wxLIST_FORMAT_LEFT);
    }
    EXPECT_TRUE(m_dlg->m_deviceList->HasFlag(wxLC_REPORT));
    EXPECT_TRUE(m_dlg->m_deviceList->HasFlag(wxLC_SINGLE_SEL));
}

TEST_P(DialogTest, TheLayoutHasTheTemplatesSizeAndFont) {
    Make(GetParam());
    const bool english = GetParam() == Language::English;
    const platform::DialogTemplate* layout = platform::FindDialogTemplate(english ? TEMPLATE_ENGLISH : TEMPLATE_CHINESE);
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->cx, english ? 488 : 487);
    EXPECT_EQ(layout->cy, english ? 302 : 320);
    EXPECT_STREQ(layout->face, english ? "Arial" : "宋体");
    EXPECT_EQ(layout->points, english ? 8 : 9);
    // Stood in for by the installed faces of the same kind.
    const wxFont font = m_dlg->GetFont();
    EXPECT_EQ(font.GetFaceName(), english ? "Liberation Sans" : "WenQuanYi Micro Hei");
    EXPECT_EQ(font.GetPointSize(), english ? 8 : 9);

    const auto units = platform::DialogUnits::For(m_dlg, font);
    EXPECT_EQ(m_dlg->GetMinSize(), units.Size(*layout));
    EXPECT_EQ(Control(IDC_SEARCH)->GetRect(), units.ToPixels(170, 236, 64, 15));
    EXPECT_EQ(Control(IDC_DEVICE_LIST)->GetRect(), units.ToPixels(14, 122, 220, 110));
    EXPECT_EQ(Control(243)->GetRect(), units.ToPixels(6, 262, 117, english ? 36 : 52));
    // The port field and its up-down control share the field's rectangle.
    const wxRect port = units.ToPixels(330, 103, 50, 12);
    EXPECT_EQ(Control(IDC_HTTP_PORT)->GetRect().Union(Control(IDC_PORT_SPIN)->GetRect()), port);
}

TEST_P(DialogTest, ControlsStartShownHiddenOrLockedAsDesigned) {
    Make(GetParam());
    for (int id : {223, 225, 227, 229, 230, 247, 248, 249, 250})
        EXPECT_FALSE(Control(id)->IsShown()) << id;
    for (int id : {223, 227, 229, 247, 248, 249, 250})
        EXPECT_FALSE(Control(id)->IsThisEnabled()) << id;
    for (int id : {202, 203, 204, 205, 206, 214, 215, 220, 221, 222, 224, 226, 228, 233, 243, 244, 245, 246, 251})
        EXPECT_TRUE(Control(id)->IsShown()) << id;
    // Greyed labels and the greyed IP configuration box.
    for (int id : {252, 253, 254, 255, 256, 257, 260, 232, 266, 267, 211, 212, 213})
        EXPECT_FALSE(Control(id)->IsThisEnabled()) << id;
    for (int id : {251, 258, 259, 261, 268, 269, 270, 271, 204, 228, 226})
        EXPECT_TRUE(Control(id)->IsThisEnabled()) << id;
    // Locked until a camera is selected.
    for (int id : {214, 215, 216, 217, 218, 219, 233, 224}) EXPECT_FALSE(Control(id)->IsThisEnabled()) << id;
    for (int id : {220, 221, 222}) EXPECT_FALSE(Editable(id)) << id;
    EXPECT_EQ(Text(IDC_HTTP_PORT), "80");
    // The window with the WAN address has a label of its own, hidden as well.
    int hidden_labels = 0;
    for (wxWindow* child : m_dlg->GetChildren())
        if (child->GetId() < 0 && dynamic_cast<wxStaticText*>(child) && !child->IsShown()) ++hidden_labels;
    EXPECT_EQ(hidden_labels, 1);
}

TEST_P(DialogTest, AChineseTipOf127CharactersShowsWhole) {
    Make(GetParam());
    std::string tip;
    for (int i = 0; i < 127; ++i) tip += i % 2 ? "摄" : "像";
    const std::string dir = "/tmp/searchui_tip_" + std::to_string(getpid()) + "/";
    wxFileName::Mkdir(dir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    std::ofstream(dir + "lang_tip.ini") << "[config]\n#0052=" << tip << "\n#0053=" << tip << "机\n";
    m_dlg->m_lang.m_dir = dir;
    m_dlg->m_lang.SetLangFile("lang_tip.ini");
    m_dlg->ApplyTexts();
    EXPECT_EQ(Text(243), tip);
    EXPECT_EQ(Text(244), tip);  // the 128th character would pass 255 bytes
    std::remove((dir + "lang_tip.ini").c_str());
    wxFileName::Rmdir(dir);
}

TEST_P(DialogTest, TheUpDownControlSitsRightOfThePortAndStepsItWhileHeld) {
    Make(GetParam());
    ShowFrame();
    wxWindow* port = Control(IDC_HTTP_PORT);
    wxWindow* spin = Control(IDC_PORT_SPIN);
    EXPECT_EQ(platform::WindowClassName(spin), "msctls_updown32");
    EXPECT_EQ(spin->GetPosition(), port->GetRect().GetTopRight() + wxPoint(1, 0));
    EXPECT_EQ(spin->GetSize().y, port->GetSize().y);
    EXPECT_GE(spin->GetSize().x, 9);

    const wxPoint up(spin->GetSize().x / 2, spin->GetSize().y / 4);
    const wxPoint down(spin->GetSize().x / 2, spin->GetSize().y * 3 / 4);
    // Locked while no camera is selected. A locked control receives no
    // click, so a click on the port field marks when the first one is over.
    wxUIActionSimulator sim;
    sim.MouseMove(spin->ClientToScreen(up));
    ASSERT_TRUE(PumpUntil([&] { return wxGetMousePosition() == spin->ClientToScreen(up); }));
    sim.MouseClick();
    Click(port, wxPoint(3, 3));
    EXPECT_EQ(Text(IDC_HTTP_PORT), "80");

    SearchAndFill({kFront});
    Select(0);
    Click(spin, up);
    EXPECT_EQ(Text(IDC_HTTP_PORT), "81");
    Click(spin, down);
    Click(spin, down);
    EXPECT_EQ(Text(IDC_HTTP_PORT), "79");

    // Held down, the arrow goes on stepping until it is let go.
    sim.MouseMove(spin->ClientToScreen(up));
    sim.MouseDown();
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_HTTP_PORT) == "83"; }));
    EXPECT_EQ(static_cast<CUpDownCtrl*>(spin)->Pressed(), 1);
    EventsSeen released(wxEVT_LEFT_UP);
    sim.MouseUp();
    ASSERT_TRUE(PumpUntil([&] { return released.count > 0; }));
    const std::string after = Text(IDC_HTTP_PORT);
    EXPECT_EQ(static_cast<CUpDownCtrl*>(spin)->Pressed(), 0);
    PumpUntil([] { return false; }, 3 * CUpDownCtrl::kRepeatPeriodMs);
    EXPECT_EQ(Text(IDC_HTTP_PORT), after);
}

TEST_P(DialogTest, TheDialogStartsWithoutToolkitWarnings) {
    // What the toolkit prints goes to standard error: catch it while the
    // dialog is made, shown and drawn.
    char name[] = "/tmp/searchui_stderr_XXXXXX";
    const int capture = mkstemp(name);
    ASSERT_GE(capture, 0);
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(capture, STDERR_FILENO);
    Make(GetParam());
    ShowFrame();
    m_dlg->Update();
    PumpUntil([] { return false; }, 200);
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(capture);
    std::ifstream file(name);
    const std::string printed((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::remove(name);
    EXPECT_EQ(printed.find("Gtk-"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("CRITICAL"), std::string::npos) << printed;
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
