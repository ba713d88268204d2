#include "platform/dlgtemplate.h"
#include "platform/msgbox.h"
#include "platform/winclass.h"
#include "wx_environment.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <vector>

using namespace platform;

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { m_frame = new wxFrame(nullptr, wxID_ANY, "test"); }
    void TearDown() override { m_frame->Destroy(); }
    wxFrame* m_frame = nullptr;
};

class ExoticControl : public wxWindow, public WindowClassNamed {
public:
    explicit ExoticControl(wxWindow* parent) : wxWindow(parent, wxID_ANY) {}
    const char* WindowClassName() const override { return "SysIPAddress32"; }
};

TEST_F(WindowTest, ControlsAnswerTheNativeClassNames) {
    EXPECT_EQ(WindowClassName(new wxTextCtrl(m_frame, wxID_ANY)), "Edit");
    EXPECT_EQ(WindowClassName(new wxTextCtrl(m_frame, wxID_ANY, "", wxDefaultPosition,
                                             wxDefaultSize, wxTE_MULTILINE | wxTE_READONLY)),
              "Edit");
    EXPECT_EQ(WindowClassName(new wxButton(m_frame, wxID_ANY, "b")), "Button");
    EXPECT_EQ(WindowClassName(new wxCheckBox(m_frame, wxID_ANY, "c")), "Button");
    EXPECT_EQ(WindowClassName(new wxStaticBox(m_frame, wxID_ANY, "g")), "Button");
    EXPECT_EQ(WindowClassName(new wxStaticText(m_frame, wxID_ANY, "s")), "Static");
    EXPECT_EQ(WindowClassName(new wxChoice(m_frame, wxID_ANY)), "ComboBox");
    EXPECT_EQ(WindowClassName(new wxListCtrl(m_frame, wxID_ANY)), "SysListView32");
    EXPECT_EQ(WindowClassName(new wxSpinButton(m_frame, wxID_ANY)), "msctls_updown32");
    EXPECT_EQ(WindowClassName(new wxGauge(m_frame, wxID_ANY, 10)), "msctls_progress32");
    EXPECT_EQ(WindowClassName(new ExoticControl(m_frame)), "SysIPAddress32");
    EXPECT_EQ(WindowClassName(nullptr), "");
}

const DialogTemplate kLayout{
    900, 200, 100, "Arial", 8,
    {
        {10, ControlKind::GroupBox, 4, 4, 192, 92, 0, "Group"},
        {11, ControlKind::Static, 10, 16, 40, 9, TS_DISABLED | TS_RIGHT, "Label:"},
        {12, ControlKind::Edit, 52, 14, 60, 12, TS_READONLY | TS_BORDER, "text"},
        {13, ControlKind::PushButton, 120, 14, 50, 14, TS_HIDDEN | TS_DISABLED, "Push"},
        {14, ControlKind::Custom, 10, 40, 80, 12, 0, ""},
        {ID_NONE, ControlKind::Static, 10, 60, 40, 9, 0, "no id"},
    }};

TEST_F(WindowTest, TemplatesMakeTheirControlsWithStylesAndScaledRectangles) {
    RegisterDialogTemplate(&kLayout);
    ASSERT_EQ(FindDialogTemplate(900), &kLayout);
    EXPECT_EQ(FindDialogTemplate(901), nullptr);

    std::vector<int> custom_ids;
    auto made = CreateTemplateControls(m_frame, kLayout,
                                       [&](wxWindow* parent, const TemplateControl& c, const wxRect& r) {
                                           if (c.kind != ControlKind::Custom) return static_cast<wxWindow*>(nullptr);
                                           custom_ids.push_back(c.id);
                                           return new wxWindow(parent, c.id, r.GetPosition(), r.GetSize());
                                       });
    ASSERT_EQ(made.size(), 5u);
    EXPECT_EQ(custom_ids, std::vector<int>{14});
    EXPECT_FALSE(made[11]->IsEnabled());
    EXPECT_FALSE(made[13]->IsShown());
    EXPECT_TRUE(made[12]->IsShown());
    EXPECT_FALSE(static_cast<wxTextCtrl*>(made[12])->IsEditable());
    EXPECT_EQ(static_cast<wxTextCtrl*>(made[12])->GetValue(), "text");

    const DialogUnits units = DialogUnits::For(m_frame, TemplateFont(kLayout));
    EXPECT_GT(units.base_x, 2);
    EXPECT_GT(units.base_y, units.base_x);
    EXPECT_EQ(made[14]->GetPosition(), wxPoint(units.X(10), units.Y(40)));
    EXPECT_EQ(made[14]->GetSize(), wxSize(units.X(80), units.Y(12)));
    EXPECT_EQ(units.Size(kLayout), wxSize(units.X(200), units.Y(100)));
}

TEST(Fonts, DesignFacesMapToInstalledFaces) {
    EXPECT_FALSE(MapFontFace(wxString::FromUTF8("宋体")).empty());
    EXPECT_FALSE(MapFontFace("Arial").empty());
    EXPECT_TRUE(MapFontFace("No Such Face At All").empty());
}

TEST(MessageBoxes, AHandlerSeesEveryBoxAndAnswersIt) {
    std::vector<MessageBoxCall> calls;
    SetMessageBoxHandler([&](const MessageBoxCall& call) {
        calls.push_back(call);
        return IDNO;
    });
    EXPECT_EQ(MessageBox(nullptr, "Sure?", "Ask", MB_YESNO | MB_ICONQUESTION), IDNO);
    SetMessageBoxHandler({});
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "Sure?");
    EXPECT_EQ(calls[0].caption, "Ask");
    EXPECT_EQ(calls[0].flags, MB_YESNO | MB_ICONQUESTION);
}

}  // namespace
