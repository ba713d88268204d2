// The device search dialog: the PC's adapters, a search of the local network
// for cameras of both protocols, the list of found cameras and the editing of
// the selected camera's network settings. A child window placed inside a
// window of its host.
//
// CSearchDlg and CSearchEnDlg differ only in their layout and built-in texts;
// both are this one class, CSearchDlgBase, with a language.
#pragma once

#include "rules/devices.h"
#include "searchui/backend.h"
#include "searchui/langtext.h"
#include "searchui/settings.h"
#include "searchui/texts.h"

#include <wx/panel.h>
#include <wx/timer.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class wxCheckBox;
class wxChoice;
class wxGauge;
class wxListCtrl;
class wxStaticText;
class CUpDownCtrl;

class CSearchDlgBase : public wxPanel {
public:
    static constexpr int TIMER_RESTART = searchui::RestartWait::kTimerId;
    static constexpr int TIMER_LIST = 52;
    static constexpr int TIMER_LIST_MS = 2500;

    // The periods of the list fill and of one tick of the restart wait. Tests
    // shorten them; the 45 ticks and the order of events stay.
    struct Periods {
        int list_ms = TIMER_LIST_MS;
        int restart_tick_ms = searchui::RestartWait::kPeriodMs;
    };

    ~CSearchDlgBase() override;

    // Makes the window from a layout (234 or 12001) as a child of `parent`
    // and initialises it (texts, controls, adapters, engine). False when the
    // window cannot be made.
    // `fit`: the room the host gives the dialog; a smaller font is used when
    // the design's does not fit in it.
    bool Create(wxWindow* parent, int template_id, const wxSize& fit = wxDefaultSize);

    // Sets every control text from the language file.
    void ApplyTexts();

    // Handlers, on the user-interface thread.
    void OnSearch();
    void OnUpdate();
    void OnDhcpCheck();
    void OnDeltaposPortSpin(int delta);
    void OnTimer(int timer_id);
    void OnClickDeviceList(long index);
    void OnSelchangeAdapter();
    void OnOpenLanAddress();
    void OnOpenWanAddress();
    void OnFactoryDefault() {}
    void OnRestartBegin();
    // A command result, handed over from the engine's dispatch thread.
    int OnCommandResult(const std::string& status);
    // Sends the HTTP-port command remembered when the update was confirmed
    // (camera, port and credentials) and begins the restart wait: 1, or -1
    // when no port command is due.
    int SendHttpPort();
    // 0 when the window must stay (a camera is restarting; the user is told).
    int CanClose();
    // The keyboard rules; true when the key is swallowed.
    bool PreTranslateKey(const wxKeyEvent& event);

    void ShowDevice(long index);
    void EnableControl(int id, bool on);
    void EnableGroup(int state);
    // 1 when the typed addresses may be sent, else 0 after telling the user
    // (an address of this PC is one of m_localAddresses).
    int ValidateAddresses();
    // 1 when the typed port (a camera of the text protocol) and credentials
    // keep every command in its shape, else 0 after telling the user.
    int ValidateTypedValues(char kind);

    // The text of a control as the user sees it (edit value, address, label),
    // and setting it.
    std::string ControlText(int id) const;
    void SetControlText(int id, const std::string& text);
    // The list's selection mark: its selected row, or -1.
    long SelectionMark() const;

    // The pixel size of a layout with its font.
    static wxSize LayoutSize(wxWindow* window, int template_id);

    searchui::Language m_language;
    const searchui::BuiltinTexts& m_texts;

    wxGauge* m_progress = nullptr;
    wxStaticText* m_restartLabel = nullptr;
    wxChoice* m_adapterCombo = nullptr;
    wxCheckBox* m_dhcpCheck = nullptr;
    wxListCtrl* m_deviceList = nullptr;
    CUpDownCtrl* m_portSpin = nullptr;
    std::unordered_map<std::string, std::string> m_dnsByAddress;
    int32_t m_editState = 0;
    int32_t m_sendPortAfterNetconf = 0;
    std::vector<std::string> m_localAddresses;
    int16_t m_lastCommand = 0;
    searchui::RestartWait m_restart;  // m_restartTicks is m_restart.Ticks()
    rules::DeviceList m_devices;  // holds m_lock and m_seenKeys
    std::unique_ptr<searchui::ISearchBackend> m_finder;
    CLangText m_lang;
    std::vector<AdapterInfo> m_adapters;  // this dialog's copy of the adapter table
    Periods m_periods;

protected:
    explicit CSearchDlgBase(searchui::Language language);

private:
    // Engine callbacks (engine threads). They touch no window.
    static int OnDeviceFound(DiscoveryContext* context, const char* status,
                             const DeviceRecord* record, void* data);
    static int OnEngineCommandResult(DiscoveryContext* context, const char* status,
                                     const void* payload, void* data);
    static void OnBroadcastDeviceFound(const uint8_t* reply, void* data);

    void ResetAndInit();
    void InitControls();
    void StartFinder();
    void ClearDeviceFields();
    // The text of a device list row's column (number, name, address).
    wxString DeviceRowText(long row, long column) const;
    rules::AddressFields ReadAddressFields() const;
    int ApplyNetwork(int index, const std::string& user, const std::string& password);
    int ReadBroadcastFields(int index, BroadcastRecord* record);
    void OnDestroy();
    void OnCharHook(wxKeyEvent& event);
    void OnListMouseUp(wxMouseEvent& event);
    wxWindow* ListRowsWindow() const;
    void OnClose(wxCloseEvent& event);
    // Shows a box and returns the answer; *still_alive tells whether the
    // dialog outlived the box (its host may destroy it meanwhile).
    int Box(wxWindow* owner, const std::string& text, const std::string& caption, unsigned flags,
            bool* still_alive = nullptr);

    // Hand-over of engine results to the user-interface thread. The link
    // outlives the dialog; a result arriving after OnDestroy finds it empty.
    struct UiLink {
        CSearchDlgBase* dialog;
    };
    std::shared_ptr<UiLink> m_link;
    // The port command due after the network command's "200", fixed when
    // the update was confirmed: a selection changed meanwhile changes nothing.
    struct PortCommand {
        std::string device_id, user, password, port;
    };
    std::optional<PortCommand> m_portCommand;
    wxTimer m_listTimer;
    wxTimer m_restartTimer;
    bool m_destroyed = false;
};

// Chinese layout (template 234) and Chinese built-in texts.
class CSearchDlg : public CSearchDlgBase {
public:
    CSearchDlg() : CSearchDlgBase(searchui::Language::Chinese) {}
};

// English built-in texts; made with the English layout (template 12001).
class CSearchEnDlg : public CSearchDlgBase {
public:
    CSearchEnDlg() : CSearchDlgBase(searchui::Language::English) {}
};
