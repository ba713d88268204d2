// libKeplinLib.so as a host program uses it: only the two entry points are
// visible, and each call places a new dialog inside the host's window.
#include "../platform/wx_environment.h"
#include "searchui/keplinlib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <wx/frame.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string ProgramDirectory() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe(path, n > 0 ? static_cast<size_t>(n) : 0);
    return exe.substr(0, exe.rfind('/') + 1);
}

std::vector<wxWindow*> Dialogs(wxWindow* parent) {
    std::vector<wxWindow*> found;
    for (wxWindow* child : parent->GetChildren())
        if (child->GetName() == "CSearchDlg") found.push_back(child);
    return found;
}

class EntryPoints : public ::testing::Test {
protected:
    void SetUp() override {
        m_frame = new wxFrame(nullptr, wxID_ANY, "host", wxDefaultPosition, wxSize(900, 700));
        m_langFile = ProgramDirectory() + "lang_entry_test.ini";
        std::ofstream(m_langFile) << "[config]\n#0073=Look beside the host\n#0064=Host PC\n";
    }
    void TearDown() override {
        m_frame->Destroy();
        wxTheApp->ProcessPendingEvents();
        std::remove(m_langFile.c_str());
    }
    wxFrame* m_frame = nullptr;
    std::string m_langFile;
};

TEST(Exports, OnlyTheTwoEntryPointsLeaveTheLibrary) {
    void* lib = dlopen("libKeplinLib.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(dlsym(lib, "ShowSearchDlg"), nullptr);
    EXPECT_NE(dlsym(lib, "ShowSearchEnDlg"), nullptr);
    for (const char* internal : {"_ZN14CSearchDlgBase8OnSearchEv", "_ZNK9CLangText7GetTextERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE",
                                 "discovery_open", "_Z14discovery_openPKctiPP16DiscoveryContext",
                                 "_ZN8platform17ReadProfileStringERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES7_S7_S7_m"})
        EXPECT_EQ(dlsym(lib, internal), nullptr) << internal;
    dlclose(lib);
}

TEST_F(EntryPoints, TheDialogIsPlacedAndReadsTheHostsLanguageFile) {
    ShowSearchEnDlg(m_frame, KeplinRect{10, 20, 510, 420}, "  lang_entry_test.ini \t");
    const auto dialogs = Dialogs(m_frame);
    ASSERT_EQ(dialogs.size(), 1u);
    wxWindow* dlg = dialogs[0];
    EXPECT_EQ(dlg->GetPosition(), wxPoint(10, 20));
    EXPECT_EQ(dlg->GetSize(), wxSize(500, 400));
    EXPECT_TRUE(dlg->IsShown());
    // Beside the program, not beside the library (whose folder has its own files).
    EXPECT_EQ(dlg->FindWindow(204)->GetLabel(), "Look beside the host");
    EXPECT_EQ(dlg->FindWindow(251)->GetLabel(), "Host PC");
    EXPECT_EQ(dlg->FindWindow(224)->GetLabel(), "");
}

TEST_F(EntryPoints, AnEmptyNameLeavesEveryLabelEmpty) {
    ShowSearchEnDlg(m_frame, KeplinRect{0, 0, 700, 480}, "");
    ShowSearchDlg(m_frame, KeplinRect{0, 0, 700, 480}, nullptr);
    const auto dialogs = Dialogs(m_frame);
    ASSERT_EQ(dialogs.size(), 2u);
    for (wxWindow* dlg : dialogs)
        for (int id : {204, 224, 251, 258})
            EXPECT_EQ(dlg->FindWindow(id)->GetLabel(), "") << id;
}

TEST_F(EntryPoints, EveryCallMakesANewDialogOverTheEarlierOnes) {
    ShowSearchDlg(m_frame, KeplinRect{0, 0, 700, 480}, "lang_entry_test.ini");
    ShowSearchDlg(m_frame, KeplinRect{5, 5, 705, 485}, "lang_entry_test.ini");
    ShowSearchEnDlg(m_frame, KeplinRect{9, 9, 709, 489}, "lang_entry_test.ini");
    const auto dialogs = Dialogs(m_frame);
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_EQ(dialogs[1]->GetPosition(), wxPoint(5, 5));
    EXPECT_EQ(dialogs[2]->GetPosition(), wxPoint(9, 9));
    // The two layouts differ in size with their fonts.
    EXPECT_NE(dialogs[0]->GetMinSize(), dialogs[2]->GetMinSize());
}

TEST_F(EntryPoints, NoParentNoDialog) {
    ShowSearchDlg(nullptr, KeplinRect{0, 0, 10, 10}, "lang_cn.ini");
    ShowSearchEnDlg(nullptr, KeplinRect{0, 0, 10, 10}, "lang_en.ini");
    EXPECT_TRUE(Dialogs(m_frame).empty());
}

}  // namespace

TEST_F(EntryPoints, ADialogGivenLessRoomThanItsDesignNeedsShowsAllOfItWithASmallerFont) {
    // The wizard's search page: 735 x 552 pixels, less than the Chinese
    // layout needs at its design size.
    ShowSearchDlg(m_frame, KeplinRect{193, 60, 928, 612}, "lang_entry_test.ini");
    ShowSearchDlg(m_frame, KeplinRect{0, 0, 2000, 1400}, "lang_entry_test.ini");
    const auto dialogs = Dialogs(m_frame);
    ASSERT_EQ(dialogs.size(), 2u);
    const wxRect room(wxPoint(0, 0), dialogs[0]->GetSize());
    EXPECT_EQ(room.GetSize(), wxSize(735, 552));
    for (wxWindow* child : dialogs[0]->GetChildren())
        EXPECT_TRUE(room.Contains(child->GetRect())) << child->GetId() << " at " << child->GetRect().x
                                                     << "," << child->GetRect().y;
    EXPECT_LT(dialogs[0]->GetFont().GetPointSize(), 9);
    // Given room enough, the design's own size.
    EXPECT_EQ(dialogs[1]->GetFont().GetPointSize(), 9);
}
