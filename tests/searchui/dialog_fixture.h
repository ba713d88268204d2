// A search dialog in a frame, with the engine replaced by FakeEngine and the
// message boxes recorded instead of shown.
#pragma once

#include "../platform/wx_environment.h"
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

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace searchui;

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

    // A key pressed while `target` has the focus, as the dialog's key hook sees it.
    bool Key(int code, wxWindow* target) {
        wxKeyEvent event(wxEVT_CHAR_HOOK);
        event.m_keyCode = code;
        event.SetEventObject(target);
        return m_dlg->PreTranslateKey(event);
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
