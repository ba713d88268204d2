// A search dialog in a frame, with the engine replaced by FakeEngine and the
// message boxes recorded instead of shown.
#pragma once

#include "../platform/wx_environment.h"
#include "event_loop.h"
#include "fake_backend.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "searchui/ipaddressctrl.h"
#include "searchui/searchdlg.h"
#include "searchui/templates.h"

#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace searchui;
using rules::KIND_BROADCAST;
using rules::KIND_TEXT;

// Counts the events of one type the application receives, so that a test
// knows when a key or a click it made has been handled all the way.
class EventsSeen : public wxEventFilter {
public:
    explicit EventsSeen(wxEventType type) : m_type(type) { wxEvtHandler::AddFilter(this); }
    ~EventsSeen() override { wxEvtHandler::RemoveFilter(this); }
    int FilterEvent(wxEvent& event) override {
        if (event.GetEventType() == m_type) ++count;
        return Event_Skip;
    }
    int count = 0;

private:
    wxEventType m_type;
};

// The texts the shipped language files and the built-in tables give, as the
// user reads them.
struct ShownTexts {
    const char* tips;           // caption "#0109"
    const char* ask_caption;    // "#0095"
    const char* no_selection;   // "#0096"
    const char* ask_update;     // "#0097"
    const char* bad_ip;         // "#0098"
    const char* bad_mask;       // "#0099"
    const char* bad_gateway;    // "#0100"
    const char* local_ip;       // "#0101"
    const char* refused;        // "#0105"
    const char* restarting;     // "#0106"
    const char* broadcast_ok;   // "#0107"
    const char* broadcast_failed;  // "#0108"
    const char* caption;        // built in
    const char* updated;
    const char* wrong_credentials;
    const char* empty_lan;
    const char* empty_wan;
    const char* bad_port;
    const char* control_characters;
};

inline const ShownTexts& Shown(Language language) {
    static const ShownTexts english{
        "Tips", "Ask", "Please select one device from list.", "Are you sure to update the selected device?",
        "Entered the wrong IP address.", "Entered the wrong subnet mask.", "Entered the wrong gateway.",
        "The same as one IP among of this local PC.", "The account or password for watching is wrong!",
        "Device is restarting...,Please try again later.", "Successful! Please waitting ....!", "Failed!", "Tips",
        "Device information successfully updated!", "The account or password for watching is wrong!",
        "Please select one device from list.", "Please input wan address.",
        "The Http port must be a number from 1 to 65535.",
        "The viewing account and password must not contain line breaks or other control characters."};
    static const ShownTexts chinese{
        "提示", "询问", "请从设备列表中选择一个设备！", "真的要用设置好的信息更新选中的设备吗？", "IP地址输入错误。",
        "子网掩码输入错误。", "网关输入错误。", "与本机其中一个IP相同。", "观看账号或密码错误!",
        "设备重启中, 请稍候再试。", "设备更新成功！请等待...！", "设备更新失败！", "提示", "设备信息更新成功!",
        "观看账号或密码错误!", "请从设备列表中选择一个设备！", "请输入外网访问地址！",
        "Http 端口必须是 1 到 65535 之间的数字。", "观看帐号和密码不能包含换行符或其他控制字符。"};
    return language == Language::English ? english : chinese;
}

inline std::string ShippedLanguageDir() {
    const char* source = std::getenv("KEPLIN_SOURCE_DIR");
    return source ? std::string(source) + "/resources/" : std::string();
}

class DialogTest : public ::testing::TestWithParam<Language> {
protected:
    void SetUp() override {
        m_engine = std::make_shared<FakeEngine>();
        auto engine = m_engine;
        SetSearchBackendFactory([engine] { return std::make_unique<FakeBackend>(engine); });
        platform::SetMessageBoxHandler([this](const platform::MessageBoxCall& call) {
            m_boxes.push_back(call);
            return m_answer;
        });
        platform::SetUrlOpener([this](const std::string& url) {
            m_opened.push_back(url);
            return true;
        });
        m_frame = new wxFrame(nullptr, wxID_ANY, "test");
    }
    void TearDown() override {
        if (m_frame) m_frame->Destroy();
        wxTheApp->ProcessPendingEvents();
        SetSearchBackendFactory({});
        platform::SetMessageBoxHandler({});
        platform::SetUrlOpener({});
    }

    // Made with the shipped language file of its language; the engine may be
    // given adapters first.
    CSearchDlgBase* Make(Language language = Language::English) {
        CSearchDlgBase* dlg = language == Language::English ? static_cast<CSearchDlgBase*>(new CSearchEnDlg)
                                                            : static_cast<CSearchDlgBase*>(new CSearchDlg);
        dlg->m_lang.m_dir = ShippedLanguageDir();
        dlg->m_lang.SetLangFile(language == Language::English ? "lang_en.ini" : "lang_cn.ini");
        const int layout = language == Language::English ? TEMPLATE_ENGLISH : TEMPLATE_CHINESE;
        EXPECT_TRUE(dlg->Create(m_frame, layout));
        m_dlg = dlg;
        return dlg;
    }

    // A search whose list is filled with these cameras.
    void SearchAndFill(const std::vector<DeviceRecord>& text,
                       const std::vector<BroadcastRecord>& broadcast = {}) {
        m_dlg->OnSearch();
        for (const auto& r : text) m_engine->Found(r);
        for (const auto& r : broadcast) m_engine->FoundBroadcast(r);
        m_dlg->OnTimer(CSearchDlgBase::TIMER_LIST);
    }

    const ShownTexts& Expected() const { return Shown(GetParam()); }

    // The frame on the display, the dialog filling it.
    void ShowFrame() {
        m_frame->SetClientSize(m_dlg->GetMinSize());
        m_frame->Show();
        ASSERT_TRUE(PumpUntil([&] { return m_dlg->IsShownOnScreen(); }));
    }

    // Presses and releases `code` with the focus in `focus`, through the
    // display server as a user's key press, and returns once the application
    // has handled the release.
    void PressKey(wxWindow* focus, int code) {
        if (!m_frame->IsShown()) ShowFrame();
        // Without a window manager, the window under the pointer has the
        // keyboard.
        wxUIActionSimulator sim;
        sim.MouseMove(m_frame->GetScreenRect().GetTopLeft() + wxPoint(3, 3));
        focus->SetFocus();
        ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == focus; }))
            << "no focus on " << focus->GetId() << " " << focus->GetClassInfo()->GetClassName() << ", but on "
            << (wxWindow::FindFocus() ? wxWindow::FindFocus()->GetClassInfo()->GetClassName() : L"nothing") << " "
            << (wxWindow::FindFocus() ? wxWindow::FindFocus()->GetId() : 0);
        EventsSeen releases(wxEVT_KEY_UP);
        sim.Char(code);
        ASSERT_TRUE(PumpUntil([&] { return releases.count > 0; })) << "key not delivered";
    }

    // A click at `at` (client coordinates of `window`), returned once handled.
    void Click(wxWindow* window, const wxPoint& at) {
        wxUIActionSimulator sim;
        sim.MouseMove(window->ClientToScreen(at));
        ASSERT_TRUE(PumpUntil([&] { return wxGetMousePosition() == window->ClientToScreen(at); }));
        EventsSeen releases(wxEVT_LEFT_UP);
        sim.MouseClick();
        ASSERT_TRUE(PumpUntil([&] { return releases.count > 0; })) << "click not delivered";
    }

    void Select(long row) {
        m_dlg->m_deviceList->SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                          wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        m_dlg->OnClickDeviceList(row);
    }

    std::string Text(int id) const { return m_dlg->ControlText(id); }
    wxWindow* Control(int id) const { return m_dlg->FindWindow(id); }
    bool Editable(int id) const { return static_cast<wxTextCtrl*>(Control(id))->IsEditable(); }
    std::string Cell(long row, int column) const {
        return std::string(m_dlg->m_deviceList->GetItemText(row, column).utf8_str());
    }

    // The list's rows window, where its keys and clicks arrive.
    wxWindow* ListInner() const {
        wxWindow* rows = m_dlg->m_deviceList;
        for (wxWindow* w : m_dlg->m_deviceList->GetChildren())
            if (rows == m_dlg->m_deviceList || w->GetSize().y > rows->GetSize().y) rows = w;
        return rows;
    }

    std::shared_ptr<FakeEngine> m_engine;
    std::vector<platform::MessageBoxCall> m_boxes;
    std::vector<std::string> m_opened;
    int m_answer = platform::IDYES;
    wxFrame* m_frame = nullptr;
    CSearchDlgBase* m_dlg = nullptr;
};
