// The search window program's frame: it closes, except while a camera
// restarts, when the dialog refuses and says why.
#include "../platform/wx_environment.h"
#include "../searchui/event_loop.h"
#include "../searchui/fake_backend.h"
#include "platform/msgbox.h"
#include "searchui/searchdlg.h"
#include "searchui/templates.h"
#include "tools/searchhost/searchframe.h"

#include <unistd.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/weakref.h>

#include <cstdio>
#include <fstream>

namespace {

std::string ProgramDirectory() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe(path, n > 0 ? static_cast<size_t>(n) : 0);
    return exe.substr(0, exe.rfind('/') + 1);
}

class SearchHost : public ::testing::Test {
protected:
    void SetUp() override {
        m_engine = std::make_shared<FakeEngine>();
        auto engine = m_engine;
        searchui::SetSearchBackendFactory([engine] { return std::make_unique<FakeBackend>(engine); });
        platform::SetMessageBoxHandler([this](const platform::MessageBoxCall& call) {
            m_boxes.push_back(call);
            return platform::IDYES;
        });
        m_langFile = "lang_searchhost_" + std::to_string(getpid()) + ".ini";
        std::ofstream(ProgramDirectory() + m_langFile)
            << "[config]\n#0106=Still restarting, wait\n#0109=Note\n";
    }
    void TearDown() override {
        wxTheApp->ProcessPendingEvents();
        searchui::SetSearchBackendFactory({});
        platform::SetMessageBoxHandler({});
        std::remove((ProgramDirectory() + m_langFile).c_str());
    }

    std::shared_ptr<FakeEngine> m_engine;
    std::vector<platform::MessageBoxCall> m_boxes;
    std::string m_langFile;
};

TEST_F(SearchHost, CloseIsRefusedWhileACameraRestartsAndWorksAfterwards) {
    wxWeakRef<SearchFrame> frame(new SearchFrame(m_langFile));
    auto* dialog = dynamic_cast<CSearchDlgBase*>(frame->Dialog());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(frame->GetClientSize(), dialog->GetMinSize());
    frame->Show();
    dialog->m_periods.restart_tick_ms = 10;
    dialog->m_periods.list_ms = 20;

    // A broadcast camera accepts new settings: the restart wait begins.
    dialog->OnSearch();
    m_engine->FoundBroadcast(BroadcastCamera("10.0.1.5"));
    dialog->OnTimer(CSearchDlgBase::TIMER_LIST);
    dialog->m_deviceList->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    dialog->OnClickDeviceList(0);
    dialog->OnUpdate();
    ASSERT_TRUE(dialog->m_progress->IsShown());
    m_boxes.clear();

    EXPECT_FALSE(frame->Close());
    wxTheApp->ProcessPendingEvents();
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->IsShown());
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, "Still restarting, wait");
    EXPECT_EQ(m_boxes[0].caption, "Note");
    EXPECT_EQ(m_boxes[0].flags, platform::MB_ICONINFORMATION);

    // The wait ends on its own timer; then the window closes.
    ASSERT_TRUE(RunLoopUntil([&] { return !dialog->m_progress->IsShown(); }));
    EXPECT_TRUE(frame->Close());
    ASSERT_TRUE(PumpUntil([&] { return !frame; }));
    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_engine->stopped);
}

}  // namespace
