#include "searchui/searchdlg.h"

#include "platform/dlgtemplate.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "platform/winclass.h"
#include "rules/fields.h"
#include "searchui/devicelistview.h"
#include "searchui/ipaddressctrl.h"
#include "searchui/templates.h"
#include "searchui/updownctrl.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/spinbutt.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include <cstdio>
#include <cstring>

using namespace searchui;
using rules::FoundDevice;
using rules::KIND_BROADCAST;
using rules::KIND_TEXT;

namespace {

constexpr const char* kDefaultLangFile = "lang_cn.ini";

const int kLockedControls[] = {IDC_DHCP,      IDC_IP,       IDC_MASK, IDC_GATEWAY,
                               IDC_DNS1,      IDC_DNS2,     IDC_HTTP_PORT, IDC_PORT_SPIN,
                               IDC_UPDATE,    IDC_ACCOUNT,  IDC_PASSWORD,  IDC_FACTORY_DEFAULT};

std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

// What the adapter records of the design hold for an adapter without an
// address: "0.0.0.0" as its address and mask.
std::string FirstAddress(const AdapterInfo& adapter) {
    return adapter.addresses.empty() ? "0.0.0.0" : adapter.addresses[0].address;
}

std::string FirstMask(const AdapterInfo& adapter) {
    return adapter.addresses.empty() ? "0.0.0.0" : adapter.addresses[0].mask;
}

}  // namespace

CSearchDlgBase::CSearchDlgBase(Language language)
    : m_language(language),
      m_texts(BuiltinTextsFor(language)),
      m_lang(kDefaultLangFile),
      m_link(std::make_shared<UiLink>(UiLink{this})),
      m_listTimer(this, TIMER_LIST),
      m_restartTimer(this, TIMER_RESTART) {
    m_finder = MakeSearchBackend();
}

CSearchDlgBase::~CSearchDlgBase() { OnDestroy(); }

wxSize CSearchDlgBase::LayoutSize(wxWindow* window, int template_id) {
    RegisterSearchTemplates();
    const platform::DialogTemplate* layout = platform::FindDialogTemplate(template_id);
    if (!layout) return wxDefaultSize;
    return platform::DialogUnits::For(window, platform::TemplateFont(*layout)).Size(*layout);
}

bool CSearchDlgBase::Create(wxWindow* parent, int template_id, const wxSize& fit) {
    RegisterSearchTemplates();
    const platform::DialogTemplate* layout = platform::FindDialogTemplate(template_id);
    if (!parent || !layout) return false;
    if (!wxPanel::Create(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                         wxTAB_TRAVERSAL | wxBORDER_NONE, "CSearchDlg"))
        return false;
    SetBackgroundColour(*wxWHITE);

    auto controls = platform::CreateTemplateControls(
        this, *layout,
        [](wxWindow* owner, const platform::TemplateControl& c, const wxRect& r) -> wxWindow* {
            if (c.id == IDC_DEVICE_LIST)
                return new CDeviceListView(owner, c.id, r.GetPosition(), r.GetSize(),
                                           (c.style & platform::TS_SINGLE_SEL) != 0);
            if (c.kind != platform::ControlKind::Custom) return nullptr;
            if (c.id == IDC_PORT_SPIN) return new CUpDownCtrl(owner, c.id, r.GetPosition(), r.GetSize());
            return new CIPAddressCtrl(owner, c.id, r.GetPosition(), r.GetSize());
        },
        platform::FittedTemplateFont(this, *layout, fit));
    const wxSize size = platform::DialogUnits::For(this, GetFont()).Size(*layout);
    SetInitialSize(size);
    SetMinSize(size);

    // Binding the control members.
    m_progress = dynamic_cast<wxGauge*>(controls[IDC_RESTART_PROGRESS]);
    m_restartLabel = dynamic_cast<wxStaticText*>(controls[IDC_RESTART_LABEL]);
    m_adapterCombo = dynamic_cast<wxChoice*>(controls[IDC_ADAPTER]);
    m_dhcpCheck = dynamic_cast<wxCheckBox*>(controls[IDC_DHCP]);
    m_deviceList = dynamic_cast<wxListCtrl*>(controls[IDC_DEVICE_LIST]);
    if (auto* view = dynamic_cast<CDeviceListView*>(m_deviceList)) {
        view->SetRowText([this](long row, long column) { return DeviceRowText(row, column); });
    }
    m_portSpin = dynamic_cast<CUpDownCtrl*>(controls[IDC_PORT_SPIN]);

    // The dialog is white, and so is every control that draws a background.
    for (wxWindow* child : GetChildren())
        if (!dynamic_cast<wxButton*>(child)) child->SetBackgroundColour(*wxWHITE);

    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnSearch(); }, IDC_SEARCH);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnUpdate(); }, IDC_UPDATE);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnFactoryDefault(); }, IDC_FACTORY_DEFAULT);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOpenLanAddress(); }, IDC_OPEN_LAN);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOpenWanAddress(); }, IDC_OPEN_WAN);
    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnDhcpCheck(); }, IDC_DHCP);
    Bind(wxEVT_SPIN_UP, [this](wxSpinEvent&) { OnDeltaposPortSpin(1); }, IDC_PORT_SPIN);
    Bind(wxEVT_SPIN_DOWN, [this](wxSpinEvent&) { OnDeltaposPortSpin(-1); }, IDC_PORT_SPIN);
    Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { OnSelchangeAdapter(); }, IDC_ADAPTER);
    Bind(wxEVT_TIMER, [this](wxTimerEvent& e) { OnTimer(e.GetId()); });
    Bind(wxEVT_CHAR_HOOK, &CSearchDlgBase::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CSearchDlgBase::OnClose, this);
    if (m_deviceList) {
        // Clicks land on the list's inner windows (its header and its rows).
        for (wxWindow* inner : m_deviceList->GetChildren())
            inner->Bind(wxEVT_LEFT_UP, &CSearchDlgBase::OnListMouseUp, this);
    }

    SetLabel(wxString());
    ApplyTexts();
    ResetAndInit();
    StartFinder();
    return true;
}

// ---------------------------------------------------------------------------
// Texts of the controls.

std::string CSearchDlgBase::ControlText(int id) const {
    const wxWindow* window = FindWindow(id);
    if (!window) return std::string();
    if (auto* address = dynamic_cast<const CIPAddressCtrl*>(window)) return address->GetAddress();
    if (auto* edit = dynamic_cast<const wxTextCtrl*>(window)) return Utf8(edit->GetValue());
    return Utf8(window->GetLabel());
}

void CSearchDlgBase::SetControlText(int id, const std::string& text) {
    wxWindow* window = FindWindow(id);
    if (!window) return;
    if (auto* address = dynamic_cast<CIPAddressCtrl*>(window)) {
        address->SetAddress(text);
    } else if (auto* edit = dynamic_cast<wxTextCtrl*>(window)) {
        edit->ChangeValue(wxString::FromUTF8(text));
    } else {
        window->SetLabel(wxString::FromUTF8(text));
    }
}

void CSearchDlgBase::ApplyTexts() {
    for (size_t i = 0; i < kControlTextKeyCount; ++i)
        SetControlText(kControlTextKeys[i].id, m_lang.GetText(kControlTextKeys[i].key));
}

// ---------------------------------------------------------------------------
// Initialisation.

void CSearchDlgBase::ResetAndInit() {
    m_editState = 0;
    m_sendPortAfterNetconf = 0;
    InitControls();
}

void CSearchDlgBase::InitControls() {
    SetControlText(IDC_HTTP_PORT, "80");
    if (m_portSpin) m_portSpin->AttachToBuddy(FindWindow(IDC_HTTP_PORT));
    if (m_deviceList) {
        m_deviceList->InsertColumn(0, kColumnNumber, wxLIST_FORMAT_LEFT, 40);
        m_deviceList->InsertColumn(1, kColumnName, wxLIST_FORMAT_LEFT, 80);
        m_deviceList->InsertColumn(2, kColumnIp, wxLIST_FORMAT_LEFT, 115);
    }

    m_adapters = m_finder->LoadAdapters();
    int chosen = -1;
    if (m_adapterCombo) {
        m_adapterCombo->Clear();
        for (size_t n = 0; n < m_adapters.size(); ++n) {
            const AdapterInfo& adapter = m_adapters[n];
            m_adapterCombo->Append(wxString::FromUTF8(adapter.description));
            const std::string address = FirstAddress(adapter);
            const std::string mask = FirstMask(adapter);
            if (chosen < 0 && address.compare(0, 1, "0") != 0 && mask != "255.255.255.255")
                chosen = static_cast<int>(n);
            std::string dns;
            for (const auto& server : adapter.dns_servers) dns += server + ";";
            if (!dns.empty() && m_dnsByAddress[address].empty()) m_dnsByAddress[address] = dns;
        }
        if (chosen >= 0) {
            m_adapterCombo->SetSelection(chosen);
            OnSelchangeAdapter();
        }
    }
    EnableGroup(m_editState);
    if (m_progress) m_progress->Hide();
    if (m_restartLabel) m_restartLabel->Hide();
}

void CSearchDlgBase::OnSelchangeAdapter() {
    if (!m_adapterCombo) return;
    const int selected = m_adapterCombo->GetSelection();
    if (selected < 0 || selected >= static_cast<int>(m_adapters.size())) return;
    const AdapterInfo& adapter = m_adapters[static_cast<size_t>(selected)];
    // All addresses in the one-line field. A line break would show as a
    // control-character box in a one-line GTK entry, so they are joined by
    // a comma instead.
    std::string addresses;
    for (const auto& entry : adapter.addresses) {
        if (!addresses.empty()) addresses += ", ";
        addresses += entry.address;
    }
    SetControlText(IDC_PC_IP, addresses.empty() ? FirstAddress(adapter) : addresses);
    SetControlText(IDC_PC_MASK, FirstMask(adapter));
    SetControlText(IDC_PC_GATEWAY, adapter.gateways.empty() ? "" : adapter.gateways[0]);
    SetControlText(IDC_PC_DNS1, "");
    SetControlText(IDC_PC_DNS2, "");
    const auto found = m_dnsByAddress.find(FirstAddress(adapter));
    if (found == m_dnsByAddress.end() || found->second.empty()) return;
    std::vector<std::string> pieces;
    const int count = split_text(found->second, pieces, ';');
    if (count >= 1) SetControlText(IDC_PC_DNS1, pieces[0]);
    if (count >= 2) SetControlText(IDC_PC_DNS2, pieces[1]);
}

void CSearchDlgBase::StartFinder() {
    int count = 0;
    const std::string listed = m_finder->ListAdapterAddresses(&count);
    char table[MAX_LOCAL_ADDRESSES][LOCAL_ADDRESS_ENTRY] = {};
    int entries = 0;
    if (count > 0) {
        std::vector<std::string> pieces;
        split_text(listed, pieces, ',');
        for (const auto& piece : pieces) {
            if (entries >= count || entries >= MAX_LOCAL_ADDRESSES) break;
            rules::CopyField(table[entries], piece);
            m_localAddresses.push_back(table[entries]);
            ++entries;
        }
    }
    m_finder->Start(&CSearchDlgBase::OnDeviceFound, &CSearchDlgBase::OnEngineCommandResult, this,
                    table, entries);
    m_finder->SetBroadcastCallback(&CSearchDlgBase::OnBroadcastDeviceFound, this);
}

// ---------------------------------------------------------------------------
// Engine callbacks.

int CSearchDlgBase::OnDeviceFound(DiscoveryContext*, const char*, const DeviceRecord* record,
                                  void* data) {
    return rules::DeviceList::OnDeviceFound(nullptr, nullptr, record,
                                            data ? &static_cast<CSearchDlgBase*>(data)->m_devices : nullptr);
}

int CSearchDlgBase::OnEngineCommandResult(DiscoveryContext* context, const char* status,
                                          const void*, void* data) {
    if (!context || !data) return -1;
    // The dispatch thread never touches the window and never waits for the
    // user-interface thread: the result is queued and this thread goes on.
    std::shared_ptr<UiLink> link = static_cast<CSearchDlgBase*>(data)->m_link;
    std::string text = status ? status : "";
    if (wxTheApp) {
        wxTheApp->CallAfter([link, text] {
            if (link->dialog) link->dialog->OnCommandResult(text);
        });
    }
    return 0;
}

void CSearchDlgBase::OnBroadcastDeviceFound(const uint8_t* reply, void* data) {
    rules::DeviceList::OnBroadcastFound(reply, data ? &static_cast<CSearchDlgBase*>(data)->m_devices : nullptr);
}

// ---------------------------------------------------------------------------
// Search and list.

void CSearchDlgBase::OnSearch() {
    m_devices.Clear();
    if (m_deviceList) m_deviceList->DeleteAllItems();
    ClearDeviceFields();
    m_editState = 0;
    EnableGroup(0);
    m_listTimer.StartOnce(m_periods.list_ms);
    EnableControl(IDC_SEARCH, false);
    m_finder->Search(KIND_TEXT);
    m_finder->Search(KIND_BROADCAST);
}

void CSearchDlgBase::ClearDeviceFields() {
    for (int id : {IDC_DEVICE_NAME, IDC_SYSTEM_VERSION, IDC_IP, IDC_MASK, IDC_GATEWAY, IDC_DNS1,
                   IDC_DNS2})
        SetControlText(id, "");
    SetControlText(IDC_HTTP_PORT, "80");
    SetControlText(IDC_ACCOUNT, "");
    SetControlText(IDC_PASSWORD, "");
}

void CSearchDlgBase::OnTimer(int timer_id) {
    if (timer_id == TIMER_LIST) {
        m_listTimer.Stop();
        // The rows are the cameras listed so far; later answers wait for the
        // next fill, so that the rows never move under the user.
        const int count = m_devices.Count();
        SetControlText(IDC_DEVICE_COUNT, std::string(wxString::Format(kCountFormat, count).utf8_str()));
        if (m_deviceList) {
            m_deviceList->SetItemCount(count);
            m_deviceList->Refresh();
        }
        EnableControl(IDC_SEARCH, true);
        if (m_devices.Overflowed()) {
            const int capacity = static_cast<int>(m_devices.Capacity());
            char note[256];
            std::snprintf(note, sizeof note, m_texts.list_full, capacity, capacity);
            Box(this, note, m_texts.caption, platform::MB_ICONEXCLAMATION);
        }
    } else if (timer_id == TIMER_RESTART) {
        if (!m_restart.Active()) return;
        const bool finished = m_restart.Tick();
        if (m_progress) m_progress->SetValue(m_restart.Position() - RestartWait::kRangeLow);
        if (finished) {
            m_restartTimer.Stop();
            if (m_progress) m_progress->Hide();
            if (m_restartLabel) m_restartLabel->Hide();
            // The cameras are collected again, with their new settings.
            OnSearch();
        }
    }
}

wxString CSearchDlgBase::DeviceRowText(long row, long column) const {
    if (column == 0) return wxString::Format("%ld", row + 1);
    std::string name, address;
    if (!m_devices.Describe(static_cast<int>(row), &name, &address)) return wxString();
    return wxString::FromUTF8(column == 1 ? name : address);
}

long CSearchDlgBase::SelectionMark() const {
    if (!m_deviceList) return -1;
    return m_deviceList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
}

wxWindow* CSearchDlgBase::ListRowsWindow() const {
    // The rows' window is the list's tallest inner window; the header is the
    // other one.
    wxWindow* rows = nullptr;
    for (wxWindow* inner : m_deviceList->GetChildren())
        if (!rows || inner->GetSize().y > rows->GetSize().y) rows = inner;
    return rows;
}

void CSearchDlgBase::OnListMouseUp(wxMouseEvent& event) {
    event.Skip();
    if (event.GetEventObject() != ListRowsWindow()) return;
    int flags = 0;
    long index = m_deviceList->HitTest(event.GetPosition(), flags);
    if (!(flags & wxLIST_HITTEST_ONITEM)) index = -1;
    OnClickDeviceList(index);
}

void CSearchDlgBase::OnClickDeviceList(long index) {
    ShowDevice(index);
    if (index < 0) {
        if (m_deviceList) {
            for (long row = SelectionMark(); row >= 0; row = SelectionMark())
                m_deviceList->SetItemState(row, 0, wxLIST_STATE_SELECTED);
        }
    } else {
        m_editState = 1;
        EnableGroup(1);
    }
}

namespace {

// What the settings panel shows of one listed camera, whichever its protocol.
struct ShownCamera {
    std::string name, system_version, app_version, ip, mask, gateway, dns1, dns2, port;
    bool automatic = false;
    bool second_dns = true;  // the broadcast record has one DNS server only
};

using rules::FieldText;

ShownCamera Shown(const DeviceRecord& r) {
    return {FieldText(r.device_name), FieldText(r.software_version), FieldText(r.web_version),
            FieldText(r.ip), FieldText(r.mask), FieldText(r.gateway), FieldText(r.fdns),
            FieldText(r.sdns), FieldText(r.http_port), r.dhcp > 0, true};
}

ShownCamera Shown(const BroadcastRecord& r) {
    return {FieldText(r.device_name), FieldText(r.software_version), FieldText(r.web_version),
            FieldText(r.ip), FieldText(r.mask), FieldText(r.gateway), FieldText(r.dns),
            std::string(), std::to_string(broadcast_http_port(r)), r.address_mode != 0, false};
}

}  // namespace

void CSearchDlgBase::ShowDevice(long index) {
    FoundDevice entry;
    if (index < 0 || !m_devices.Get(static_cast<int>(index), &entry)) return;
    if (entry.kind != KIND_TEXT && entry.kind != KIND_BROADCAST) return;
    const ShownCamera shown = entry.kind == KIND_TEXT ? Shown(entry.text) : Shown(entry.broadcast);
    for (int id : {IDC_DNS2, IDC_DNS2_LABEL}) {
        if (wxWindow* window = FindWindow(id)) window->Show(shown.second_dns);
    }
    SetControlText(IDC_DEVICE_NAME, shown.name);
    SetControlText(IDC_SYSTEM_VERSION, shown.system_version);
    SetControlText(IDC_APP_VERSION, shown.app_version);
    SetControlText(IDC_IP, shown.ip);
    SetControlText(IDC_MASK, shown.mask);
    SetControlText(IDC_GATEWAY, shown.gateway);
    SetControlText(IDC_DNS1, shown.dns1);
    if (shown.second_dns) SetControlText(IDC_DNS2, shown.dns2);
    SetControlText(IDC_HTTP_PORT, shown.port);
    SetControlText(IDC_LAN_ADDRESS, "http://" + shown.ip + ":" + shown.port);
    if (m_dhcpCheck) m_dhcpCheck->SetValue(shown.automatic);
}

// ---------------------------------------------------------------------------
// Enabling.

void CSearchDlgBase::EnableControl(int id, bool on) {
    wxWindow* window = FindWindow(id);
    if (!window) return;
    if (platform::WindowClassName(window).find("Edit") != std::string::npos) {
        if (auto* edit = dynamic_cast<wxTextCtrl*>(window)) edit->SetEditable(on);
    } else {
        window->Enable(on);
    }
}

void CSearchDlgBase::EnableGroup(int state) {
    if (state == 0) {
        for (int id : kLockedControls) EnableControl(id, false);
    } else if (state == 1) {
        EnableControl(IDC_DHCP, true);
        const bool automatic = m_dhcpCheck && m_dhcpCheck->GetValue();
        for (int id = IDC_IP; id <= IDC_DNS2; ++id) EnableControl(id, !automatic);
        for (int id : {IDC_HTTP_PORT, IDC_PORT_SPIN, IDC_UPDATE, IDC_ACCOUNT, IDC_PASSWORD,
                       IDC_FACTORY_DEFAULT})
            EnableControl(id, true);
    }
}

// ---------------------------------------------------------------------------
// Keyboard.

void CSearchDlgBase::OnCharHook(wxKeyEvent& event) {
    if (!PreTranslateKey(event)) event.Skip();
}

bool CSearchDlgBase::PreTranslateKey(const wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (key == WXK_ESCAPE || key == WXK_RETURN || key == WXK_NUMPAD_ENTER) return true;

    const wxWindow* target = dynamic_cast<const wxWindow*>(event.GetEventObject());
    const bool up = key == WXK_UP || key == WXK_NUMPAD_UP;
    const bool down = key == WXK_DOWN || key == WXK_NUMPAD_DOWN;
    // The up-down control steps its buddy with the arrow keys, and takes them
    // from the edit.
    if ((up || down) && target && target == FindWindow(IDC_HTTP_PORT) && m_portSpin &&
        m_portSpin->IsEnabled()) {
        OnDeltaposPortSpin(up ? 1 : -1);
        return true;
    }

    // Keys for the list arrive at its inner item window.
    bool for_list = false;
    for (const wxWindow* w = target; w && m_deviceList; w = w->GetParent())
        if (w == m_deviceList) for_list = true;
    if (for_list) {
        const long mark = SelectionMark();
        if (up) {
            OnClickDeviceList(mark - 1 > 0 ? mark - 1 : 0);
        } else if (down) {
            const long rows = m_deviceList->GetItemCount();
            OnClickDeviceList(mark + 1 < rows ? mark + 1 : rows - 1);
        }
    }
    auto enabled = [this](int id) {
        const wxWindow* w = FindWindow(id);
        return w && w->IsEnabled();
    };
    if (key == WXK_F3 && enabled(IDC_SEARCH)) OnSearch();
    else if (key == WXK_F5 && enabled(IDC_UPDATE)) OnUpdate();
    else if (key == WXK_F6 && enabled(IDC_OPEN_LAN)) OnOpenLanAddress();
    return false;
}

// ---------------------------------------------------------------------------
// Web pages.

void CSearchDlgBase::OnOpenLanAddress() {
    const std::string address = ControlText(IDC_LAN_ADDRESS);
    if (!address.empty()) {
        platform::OpenUrl(address);
        return;
    }
    Box(this, m_texts.empty_lan_address, m_texts.caption, platform::MB_ICONEXCLAMATION);
}

void CSearchDlgBase::OnOpenWanAddress() {
    const std::string address = ControlText(IDC_WAN_ADDRESS);
    if (!address.empty()) {
        platform::OpenUrl(address);
        return;
    }
    Box(this, m_texts.empty_wan_address, m_texts.caption, platform::MB_ICONEXCLAMATION);
}

// ---------------------------------------------------------------------------
// Close and destroy.

int CSearchDlgBase::Box(wxWindow* owner, const std::string& text, const std::string& caption,
                        unsigned flags, bool* still_alive) {
    const std::shared_ptr<UiLink> link = m_link;
    const int answer = platform::MessageBox(owner, text, caption, flags);
    if (still_alive) *still_alive = link->dialog != nullptr;
    return answer;
}

int CSearchDlgBase::CanClose() {
    if (m_progress && m_progress->IsShown()) {
        Box(this, m_lang.GetText(kKeyRestarting), m_lang.GetText(kKeyTipsCaption),
            platform::MB_ICONINFORMATION);
        return 0;
    }
    return 1;
}

void CSearchDlgBase::OnClose(wxCloseEvent& event) {
    if (!CanClose() && event.CanVeto()) {
        event.Veto();
        return;
    }
    event.Skip();
}

void CSearchDlgBase::OnDestroy() {
    if (m_destroyed) return;
    m_destroyed = true;
    m_link->dialog = nullptr;
    m_listTimer.Stop();
    m_restartTimer.Stop();
    // Joins the engine threads; their callbacks never wait for this thread.
    if (m_finder) m_finder->Stop();
    m_devices.Clear();
    m_adapters.clear();
}
