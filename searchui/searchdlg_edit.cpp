// Changing the selected camera's settings: the update with its confirmation
// and checks, the commands of both protocols, their results and the restart
// wait that follows.
#include "platform/msgbox.h"
#include "rules/fields.h"
#include "rules/update.h"
#include "searchui/searchdlg.h"
#include "searchui/templates.h"

#include <wx/checkbox.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/toplevel.h>

using namespace searchui;
using platform::MB_ICONINFORMATION;
using platform::MB_ICONQUESTION;
using platform::MB_OK;
using platform::MB_YESNO;
using rules::FoundDevice;
using rules::KIND_BROADCAST;
using rules::KIND_TEXT;

namespace {

bool SameCamera(const FoundDevice& a, const FoundDevice& b) {
    return a.kind == b.kind && rules::DeviceKey(a) == rules::DeviceKey(b);
}

}  // namespace

void CSearchDlgBase::OnDeltaposPortSpin(int delta) {
    if (const auto stepped = rules::StepPortText(ControlText(IDC_HTTP_PORT), delta))
        SetControlText(IDC_HTTP_PORT, *stepped);
}

void CSearchDlgBase::OnDhcpCheck() { EnableGroup(m_editState); }

rules::AddressFields CSearchDlgBase::ReadAddressFields() const {
    rules::AddressFields fields;
    fields.automatic = m_dhcpCheck && m_dhcpCheck->GetValue();
    fields.ip = ControlText(IDC_IP);
    fields.mask = ControlText(IDC_MASK);
    fields.gateway = ControlText(IDC_GATEWAY);
    fields.dns1 = ControlText(IDC_DNS1);
    fields.dns2 = ControlText(IDC_DNS2);
    return fields;
}

int CSearchDlgBase::ValidateAddresses() {
    const rules::AddressFields fields = ReadAddressFields();
    if (fields.automatic) return 1;
    const std::string caption = m_lang.GetText(kKeyTipsCaption);
    const char* problem = AddressProblemKey(rules::CheckAddresses(fields, m_localAddresses));
    if (!problem) return 1;
    Box(this, m_lang.GetText(problem), caption, MB_ICONINFORMATION);
    return 0;
}

int CSearchDlgBase::ValidateTypedValues(char kind) {
    const char* problem = nullptr;
    if (rules::CheckCredentials(ControlText(IDC_ACCOUNT), ControlText(IDC_PASSWORD)) !=
        rules::CredentialFault::None)
        problem = m_texts.control_characters;
    else if (kind == KIND_TEXT && !rules::ParsePort(ControlText(IDC_HTTP_PORT)))
        problem = m_texts.bad_port;
    if (!problem) return 1;
    Box(this, problem, m_texts.caption, MB_ICONINFORMATION);
    return 0;
}

void CSearchDlgBase::OnUpdate() {
    const std::string caption = m_lang.GetText(kKeyTipsCaption);
    const std::string no_selection = m_lang.GetText(kKeyNoSelection);
    const long mark = SelectionMark();
    FoundDevice confirmed;
    if (mark < 0 || !m_devices.Get(static_cast<int>(mark), &confirmed)) {
        Box(this, no_selection, caption, MB_ICONINFORMATION);
        return;
    }
    bool alive = true;
    const int answer = Box(this, m_lang.GetText(kKeyAskUpdate), m_lang.GetText(kKeyAskCaption),
                           MB_YESNO | MB_ICONQUESTION, &alive);
    if (!alive || answer != platform::IDYES) return;
    // While the question was open a new search may have replaced the list:
    // the settings go only to the camera the user confirmed.
    FoundDevice entry;
    if (SelectionMark() != mark || !m_devices.Get(static_cast<int>(mark), &entry) ||
        !SameCamera(entry, confirmed))
        return;
    if (!ValidateAddresses() || !ValidateTypedValues(entry.kind)) return;

    m_lastCommand = 1;
    const std::string user = ControlText(IDC_ACCOUNT);
    const std::string password = ControlText(IDC_PASSWORD);
    if (entry.kind == KIND_TEXT) {
        const std::string port = std::to_string(*rules::ParsePort(ControlText(IDC_HTTP_PORT)));
        m_portCommand.reset();
        m_sendPortAfterNetconf = 0;
        if (!ApplyNetwork(static_cast<int>(mark), user, password)) return;
        if (rules::PortCommandNeeded(port, entry.text)) {
            m_sendPortAfterNetconf = 1;
            m_portCommand = PortCommand{rules::RawField(entry.text.device_id), user, password, port};
        }
    } else if (entry.kind == KIND_BROADCAST) {
        // Cameras fresh from the factory share an address: a result then counts
        // only when it comes from the camera the request was built for. The
        // camera still has the address it was listed with.
        const BroadcastResultFilter accept =
            m_devices.SharesAddress(static_cast<size_t>(mark)) ? &rules::ResultFromCamera : nullptr;
        BroadcastRecord record;
        if (!ReadBroadcastFields(static_cast<int>(mark), &record)) return;
        // Blocks until the camera answers or the protocol's time-out passes.
        const int result = m_finder->SetBroadcastDevice(record, accept);
        if (result == -1 || result == -2) {
            Box(this, m_lang.GetText(kKeyBroadcastRefused), caption, MB_ICONINFORMATION);
        } else if (result >= 1) {
            OnRestartBegin();
            Box(this, m_lang.GetText(kKeyBroadcastOk), kBroadcastResultCaption, MB_OK);
        } else {
            Box(this, m_lang.GetText(kKeyBroadcastFailed), kBroadcastResultCaption, MB_OK);
        }
    }
}

int CSearchDlgBase::ApplyNetwork(int index, const std::string& user, const std::string& password) {
    const rules::AddressFields fields = ReadAddressFields();
    DeviceRecord record{};
    bool complete = false;
    // The dialog's copy takes the typed values, whatever the camera answers.
    if (!m_devices.Update(index, [&](FoundDevice& e) {
            complete = rules::FillNetworkRecord(e.text, fields);
            record = e.text;
        }))
        return 0;
    if (!complete) return 0;
    const CommandAuth auth{record.device_id, user.c_str(), password.c_str()};
    m_finder->SetNetwork(auth, record);
    return 1;
}

int CSearchDlgBase::ReadBroadcastFields(int index, BroadcastRecord* record) {
    const rules::AddressFields fields = ReadAddressFields();
    const std::string port = ControlText(IDC_HTTP_PORT);
    const std::string account = ControlText(IDC_ACCOUNT);
    const std::string password = ControlText(IDC_PASSWORD);
    return m_devices.Update(index, [&](FoundDevice& e) {
        rules::FillBroadcastRecord(e.broadcast, fields, port, account, password);
        *record = e.broadcast;
    }) ? 1 : 0;
}

int CSearchDlgBase::OnCommandResult(const std::string& status) {
    // Boxes of a command result belong to the host's window: the result may
    // arrive while the user works elsewhere in it.
    wxWindow* owner = wxGetTopLevelParent(this);
    if (status.find("200") != std::string::npos) {
        if (m_sendPortAfterNetconf == 1) {
            m_sendPortAfterNetconf = 0;
            SendHttpPort();
            return 0;
        }
        Box(owner, m_texts.settings_updated, m_texts.caption, MB_ICONINFORMATION);
        return 0;
    }
    if (status.find("401") != std::string::npos) {
        Box(owner, m_texts.wrong_credentials, m_texts.caption, MB_ICONINFORMATION);
        return -1;
    }
    return 0;
}

int CSearchDlgBase::SendHttpPort() {
    if (!m_portCommand) return -1;
    const PortCommand command = *m_portCommand;
    m_portCommand.reset();
    const CommandAuth auth{command.device_id.c_str(), command.user.c_str(), command.password.c_str()};
    m_finder->SetHttpPort(auth, command.port.c_str());
    // The camera restarts with its new port: the wait begins now, not when
    // the port command's answer comes.
    OnRestartBegin();
    return 1;
}

void CSearchDlgBase::OnRestartBegin() {
    if (m_progress) m_progress->Show();
    if (m_restartLabel) m_restartLabel->Show();
    m_restart.Begin();
    m_restartTimer.Start(m_periods.restart_tick_ms);
    if (m_progress) {
        m_progress->SetRange(RestartWait::kRangeHigh - RestartWait::kRangeLow);
        m_progress->SetValue(m_restart.Position() - RestartWait::kRangeLow);
    }
    m_editState = 0;
    EnableGroup(0);
}
