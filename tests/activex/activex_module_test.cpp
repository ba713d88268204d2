// The two search control modules loaded side by side with libKeplinLib.so in
// one process: what each registers, its class objects, the safety options,
// persistence, SetLang and hosting in a container window.
#include "../platform/wx_environment.h"
#include "support.h"
#include "platform/olecontainer.h"
#include "platform/olecontrol.h"
#include "platform/registry.h"
#include "searchui/keplinlib.h"
#include "searchui/searchdlg.h"
#include "searchui/templates.h"

#include <dlfcn.h>
#include <sqlite3.h>
#include <unistd.h>
#include <wx/button.h>
#include <wx/frame.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace platform;
using activex_test::Default;
using activex_test::KeyExists;

namespace {

const char* const kCnClsid = "{5E885D2D-5D22-4C21-9D9E-2B98B142948E}";
const char* const kEnClsid = "{4CD1E4D7-7124-48A5-BDB3-240EDFD1969A}";
const char* const kCnPage = "{3434346F-314F-4C50-9983-C482E9950E89}";
const char* const kEnPage = "{5CFAF37F-7DF6-46CD-BCA0-C635D57A0C6E}";
const char* const kCnProgId = "KEPLINACTIVEX.KeplinActiveXCtrl.1";
const char* const kEnProgId = "KEPLINACTIVEXEN.KeplinActiveXenCtrl.1";
const char* const kCnLib = "{FB9B15A9-CDBE-40B8-80C3-A6DE4EEEBE8F}";
const char* const kEnLib = "{344770EF-11B1-4881-8552-2A29ED121140}";

struct Module {
    void* handle = nullptr;
    std::string path;
    HRESULT (*Register)() = nullptr;
    HRESULT (*Unregister)() = nullptr;
    HRESULT (*GetClassObject)(const CLSID&, const IID&, void**) = nullptr;
    HRESULT (*CanUnloadNow)() = nullptr;
};

Module Load(const char* path) {
    Module m;
    m.path = std::filesystem::canonical(path).string();
    m.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!m.handle) return m;
    m.Register = reinterpret_cast<HRESULT (*)()>(dlsym(m.handle, "DllRegisterServer"));
    m.Unregister = reinterpret_cast<HRESULT (*)()>(dlsym(m.handle, "DllUnregisterServer"));
    m.GetClassObject =
        reinterpret_cast<HRESULT (*)(const CLSID&, const IID&, void**)>(dlsym(m.handle, "DllGetClassObject"));
    m.CanUnloadNow = reinterpret_cast<HRESULT (*)()>(dlsym(m.handle, "DllCanUnloadNow"));
    return m;
}

const Module& Chinese() {
    static const Module m = Load(KEPLIN_OCX_CN);
    return m;
}
const Module& English() {
    static const Module m = Load(KEPLIN_OCX_EN);
    return m;
}

std::string ProgramDirectory() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe(path, n > 0 ? static_cast<size_t>(n) : 0);
    return exe.substr(0, exe.rfind('/') + 1);
}

template <typename T>
T* Query(IUnknown* object, const IID& iid) {
    void* out = nullptr;
    return SUCCEEDED(object->QueryInterface(iid, &out)) ? static_cast<T*>(out) : nullptr;
}

class ActiveX : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Chinese().handle, nullptr) << dlerror();
        ASSERT_NE(English().handle, nullptr) << dlerror();
        m_dir = std::filesystem::temp_directory_path() / ("activex_test_" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        m_store = (m_dir / (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".db"))
                      .string();
        setenv("KEPLIN_REGISTRY", m_store.c_str(), 1);
        setenv("KEPLIN_REGISTRY_BUSY_MS", "100", 1);
    }
    void TearDown() override {
        for (const std::string& file : m_langFiles) std::remove(file.c_str());
        std::filesystem::remove_all(m_dir);
    }

    // A language file beside the program with the search button's text.
    std::string LangFile(const std::string& name, const std::string& search_text) {
        const std::string file = name + "_" + std::to_string(getpid()) + ".ini";
        std::ofstream(ProgramDirectory() + file) << "[config]\n#0073=" << search_text << "\n";
        m_langFiles.push_back(ProgramDirectory() + file);
        return file;
    }

    // A control created through a module's class object.
    IUnknown* Create(const Module& module, const char* clsid) {
        IClassFactory* factory = nullptr;
        if (FAILED(module.GetClassObject(MakeGuid(clsid), IID_IClassFactory, reinterpret_cast<void**>(&factory))))
            return nullptr;
        void* object = nullptr;
        const HRESULT hr = factory->CreateInstance(nullptr, IID_IUnknown, &object);
        factory->Release();
        return SUCCEEDED(hr) ? static_cast<IUnknown*>(object) : nullptr;
    }

    std::filesystem::path m_dir;
    std::string m_store;
    std::vector<std::string> m_langFiles;
};

TEST_F(ActiveX, EachModuleRegistersItsOwnIdentityAndUnregistersItAgain) {
    ASSERT_EQ(Chinese().Register(), S_OK);
    ASSERT_EQ(English().Register(), S_OK);

    const std::string cn = std::string("CLSID\\") + kCnClsid;
    EXPECT_EQ(Default(cn), "KeplinActiveX Control");
    EXPECT_EQ(Default(cn + "\\ProgID"), kCnProgId);
    EXPECT_EQ(Default(std::string(kCnProgId) + "\\CLSID"), kCnClsid);
    EXPECT_EQ(Default(cn + "\\InprocServer32"), Chinese().path);
    EXPECT_EQ(Default(cn + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Default(cn + "\\MiscStatus\\1"), "131473");
    EXPECT_EQ(Default(cn + "\\TypeLib"), kCnLib);
    EXPECT_EQ(Default(cn + "\\Version"), "1.0");
    EXPECT_EQ(Default(cn + "\\ToolboxBitmap32"), Chinese().path + ", 1");
    EXPECT_TRUE(KeyExists(cn + "\\Control"));
    EXPECT_FALSE(KeyExists(cn + "\\Insertable"));
    EXPECT_EQ(Default(std::string("TypeLib\\") + kCnLib + "\\1.0"), "KeplinActiveX ActiveX Control module");
    EXPECT_EQ(Default(std::string("TypeLib\\") + kCnLib + "\\1.0\\FLAGS"), "2");
    EXPECT_EQ(Default(std::string("TypeLib\\") + kCnLib + "\\1.0\\409\\linux"), Chinese().path);
    EXPECT_EQ(Default("Interface\\{7A1150BC-79C5-472B-B505-4EB0BEB3DC58}"), "_DKeplinActiveX");
    EXPECT_EQ(Default(std::string("CLSID\\") + kCnPage), "KeplinActiveX Property Page");

    // The English module, loaded in the same process, keeps its own texts.
    const std::string en = std::string("CLSID\\") + kEnClsid;
    EXPECT_EQ(Default(en), "KeplinActiveX_en Control");
    EXPECT_EQ(Default(std::string(kEnProgId) + "\\CLSID"), kEnClsid);
    EXPECT_EQ(Default(en + "\\InprocServer32"), English().path);
    EXPECT_EQ(Default(en + "\\TypeLib"), kEnLib);
    EXPECT_EQ(Default(std::string("TypeLib\\") + kEnLib + "\\1.0"), "KeplinActiveX_en ActiveX Control module");
    EXPECT_EQ(Default("Interface\\{53624A98-CF52-4F5C-A33D-AA8B2D64E844}"), "_DKeplinActiveX_en");
    EXPECT_EQ(Default(std::string("CLSID\\") + kEnPage), "KeplinActiveX_en Property Page");

    ASSERT_EQ(Chinese().Unregister(), S_OK);
    EXPECT_FALSE(KeyExists(cn));
    EXPECT_FALSE(KeyExists(kCnProgId));
    EXPECT_FALSE(KeyExists(std::string("CLSID\\") + kCnPage));
    EXPECT_FALSE(KeyExists(std::string("TypeLib\\") + kCnLib));
    EXPECT_FALSE(KeyExists("Interface\\{7A1150BC-79C5-472B-B505-4EB0BEB3DC58}"));
    EXPECT_TRUE(KeyExists(en));  // the other module's entries stay
    // Unregistering what is not registered has nothing to do.
    EXPECT_EQ(Chinese().Unregister(), S_OK);
}

TEST_F(ActiveX, AStoreThatCannotBeWrittenFailsOnTheTypeLibraryAndKeepsNothing) {
    ASSERT_EQ(English().Register(), S_OK);
    ASSERT_EQ(English().Unregister(), S_OK);  // the store file exists now

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_store.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(Chinese().Register(), SELFREG_E_TYPELIB);
    EXPECT_EQ(Chinese().Unregister(), SELFREG_E_TYPELIB);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_FALSE(KeyExists(std::string("TypeLib\\") + kCnLib));
    EXPECT_FALSE(KeyExists(std::string("CLSID\\") + kCnClsid));
    EXPECT_FALSE(KeyExists(kCnProgId));
}

TEST_F(ActiveX, ClassObjectsAnswerOnlyForTheModulesClasses) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(Chinese().GetClassObject(MakeGuid(kEnClsid), IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Chinese().GetClassObject(MakeGuid(kCnClsid), IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(English().GetClassObject(MakeGuid(kEnClsid), IID_IDispatch, &object), E_NOINTERFACE);

    // The property pages: caption string 200, templates 200 and 202.
    for (const auto& [module, clsid, id] : {std::make_tuple(&Chinese(), kCnPage, 200),
                                             std::make_tuple(&English(), kEnPage, 202)}) {
        IUnknown* page = Create(*module, clsid);
        ASSERT_NE(page, nullptr);
        auto* ppg = static_cast<COlePropertyPage*>(page);
        EXPECT_EQ(ppg->GetCaption(), "General");
        EXPECT_EQ(ppg->GetTemplateId(), id);
        page->Release();
    }
}

TEST_F(ActiveX, TheModuleCannotUnloadWhileAControlOrALockLives) {
    EXPECT_EQ(Chinese().CanUnloadNow(), S_OK);
    IUnknown* control = Create(Chinese(), kCnClsid);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(Chinese().CanUnloadNow(), S_FALSE);
    EXPECT_EQ(English().CanUnloadNow(), S_OK);  // each module counts its own

    IClassFactory* factory = nullptr;
    ASSERT_EQ(Chinese().GetClassObject(MakeGuid(kCnClsid), IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(true);
    factory->Release();
    control->Release();
    EXPECT_EQ(Chinese().CanUnloadNow(), S_FALSE);
    factory->LockServer(false);
    EXPECT_EQ(Chinese().CanUnloadNow(), S_OK);
}

TEST_F(ActiveX, OnlyTheChineseControlAnswersForSafetyOptions) {
    IUnknown* control = Create(Chinese(), kCnClsid);
    ASSERT_NE(control, nullptr);
    auto* safety = Query<IObjectSafety>(control, IID_IObjectSafety);
    ASSERT_NE(safety, nullptr);

    std::uint32_t supported = 0, enabled = 9;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr), E_POINTER);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistStreamInit, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 2u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistPropertyBag, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 2u);
    // Exposed, but not one the options speak of; and one not exposed at all.
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IOleInPlaceControl, &supported, &enabled), E_NOINTERFACE);
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled), E_NOINTERFACE);

    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 1), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 2, 2), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistStreamInit, 2, 2), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistStreamInit, 1, 1), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IClassFactory, 0, 0), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IClassFactory, 1, 1), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IOleInPlaceControl, 1, 1), E_FAIL);
    safety->Release();
    control->Release();

    IUnknown* english = Create(English(), kEnClsid);
    ASSERT_NE(english, nullptr);
    void* out = nullptr;
    EXPECT_EQ(english->QueryInterface(IID_IObjectSafety, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    english->Release();
}

TEST_F(ActiveX, TheControlStoresItsClassAndVersionOneZero) {
    IUnknown* control = Create(English(), kEnClsid);
    ASSERT_NE(control, nullptr);
    auto* stream = Query<IPersistStreamInit>(control, IID_IPersistStreamInit);
    ASSERT_NE(stream, nullptr);
    CLSID clsid;
    ASSERT_EQ(stream->GetClassID(&clsid), S_OK);
    EXPECT_EQ(FormatGuid(clsid), kEnClsid);
    std::string saved;
    ASSERT_EQ(stream->Save(&saved), S_OK);
    EXPECT_EQ(saved, std::string("\x00\x00\x01\x00", 4));
    EXPECT_EQ(stream->Load(std::string("\x01", 1)), E_FAIL);  // cut short
    stream->Release();

    auto* bag = Query<IPersistPropertyBag>(control, IID_IPersistPropertyBag);
    ASSERT_NE(bag, nullptr);
    PropertyBag values;
    ASSERT_EQ(bag->Save(&values), S_OK);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "_Version");
    EXPECT_EQ(values[0].value.lVal, 0x10000);
    bag->Release();
    control->Release();
}

// A control hosted by the container, in a frame of its own.
class Hosted : public ActiveX {
protected:
    void Host(const char* prog_id) {
        m_frame = new wxFrame(nullptr, wxID_ANY, prog_id);
        m_site = new COleControlSite(m_frame);
        m_sites.push_back(m_site);
        m_frame->SetClientSize(700, 500);
        std::string error;
        ASSERT_TRUE(m_site->CreateControl(prog_id, &error)) << error;
        m_frame->Show();
        ASSERT_NE(m_site->GetControlWindow(), nullptr);
        ASSERT_EQ(m_site->GetControlWindow()->GetChildren().size(), 1u);
        m_dialog = m_site->GetControlWindow()->GetChildren().front();
    }
    void TearDown() override {
        // The site first: it releases its control at once, so that no test
        // finds a control of another still alive.
        for (wxWindow* site : m_sites) site->Destroy();
        if (m_frame) m_frame->Destroy();
        wxTheApp->ProcessPendingEvents();
        ActiveX::TearDown();
    }
    std::string SearchLabel() const {
        wxWindow* button = m_dialog->FindWindow(searchui::IDC_SEARCH);
        return button ? std::string(button->GetLabel().utf8_str()) : "<none>";
    }

    wxFrame* m_frame = nullptr;
    COleControlSite* m_site = nullptr;
    wxWindow* m_dialog = nullptr;
    std::vector<COleControlSite*> m_sites;
};

TEST_F(Hosted, ResizingTheHostMovesAndResizesTheDialogAtTheNextDraw) {
    ASSERT_EQ(Chinese().Register(), S_OK);
    Host(kCnProgId);
    m_frame->SetClientSize(1000, 720);
    ASSERT_TRUE(PumpUntil([&] { return m_dialog->GetRect() == wxRect(0, 0, 1000, 720); }))
        << "dialog at " << m_dialog->GetRect().x << "," << m_dialog->GetRect().y << " "
        << m_dialog->GetRect().width << "x" << m_dialog->GetRect().height;
    EXPECT_EQ(m_site->GetControlWindow()->GetClientSize(), wxSize(1000, 720));

    m_frame->SetClientSize(900, 650);
    EXPECT_TRUE(PumpUntil([&] { return m_dialog->GetRect() == wxRect(0, 0, 900, 650); }));

    std::string error;
    EXPECT_FALSE(m_site->CallMethod("Unknown", {"x"}, &error));
    EXPECT_NE(error.find("unknown method"), std::string::npos);
    EXPECT_FALSE(m_site->CallMethod("SetLang", {}, &error));
    EXPECT_NE(error.find("wrong number of arguments"), std::string::npos);
}

TEST_F(Hosted, SetLangAppliesTheLastFileItWasGiven) {
    ASSERT_EQ(English().Register(), S_OK);
    Host(kEnProgId);
    const std::string first = LangFile("activex_first", "Look");
    const std::string second = LangFile("activex_second", "Find(F3)");
    std::string error;
    ASSERT_TRUE(m_site->CallMethod("SetLang", {first}, &error)) << error;
    EXPECT_EQ(SearchLabel(), "Look");
    ASSERT_TRUE(m_site->CallMethod("setlang", {"  " + second + "\t"}, &error)) << error;
    EXPECT_EQ(SearchLabel(), "Find(F3)");
    // A file that is not there, and no name at all: the texts go empty.
    ASSERT_TRUE(m_site->CallMethod("SetLang", {"activex_missing.ini"}, &error));
    EXPECT_EQ(SearchLabel(), "");
    ASSERT_TRUE(m_site->CallMethod("SetLang", {second}, &error));
    ASSERT_TRUE(m_site->CallMethod("SetLang", {""}, &error));
    EXPECT_EQ(SearchLabel(), "");
}

TEST_F(Hosted, BothModulesAndTheLibraryShowTheirOwnDialogsInOneProcess) {
    ASSERT_EQ(Chinese().Register(), S_OK);
    ASSERT_EQ(English().Register(), S_OK);
    Host(kEnProgId);
    wxWindow* english = m_dialog;
    COleControlSite* english_site = m_site;
    wxFrame* english_frame = m_frame;
    Host(kCnProgId);
    wxWindow* chinese = m_dialog;

    auto* library_frame = new wxFrame(nullptr, wxID_ANY, "library");
    ShowSearchDlg(library_frame, KeplinRect{0, 0, 1200, 900}, "");  // room for the design size
    ASSERT_EQ(library_frame->GetChildren().size(), 1u);
    wxWindow* library = library_frame->GetChildren().front();

    // The layouts, told apart by their sizes.
    EXPECT_EQ(english->GetMinSize(), CSearchDlgBase::LayoutSize(english, searchui::TEMPLATE_ENGLISH));
    EXPECT_EQ(chinese->GetMinSize(), CSearchDlgBase::LayoutSize(chinese, searchui::TEMPLATE_CHINESE));
    EXPECT_EQ(library->GetMinSize(), CSearchDlgBase::LayoutSize(library, searchui::TEMPLATE_CHINESE));
    EXPECT_NE(english->GetMinSize(), chinese->GetMinSize());

    // The modules' dialogs are built from the same classes as this program's
    // copy, so their state can be read: each starts from its own language
    // file and takes its message texts from its own string table.
    auto* english_dlg = dynamic_cast<CSearchDlgBase*>(english);
    auto* chinese_dlg = dynamic_cast<CSearchDlgBase*>(chinese);
    ASSERT_NE(english_dlg, nullptr);
    ASSERT_NE(chinese_dlg, nullptr);
    EXPECT_EQ(english_dlg->m_language, searchui::Language::English);
    EXPECT_EQ(chinese_dlg->m_language, searchui::Language::Chinese);
    EXPECT_EQ(english_dlg->m_lang.m_file, "lang_en.ini");
    EXPECT_EQ(chinese_dlg->m_lang.m_file, "lang_cn.ini");
    EXPECT_EQ(english_dlg->m_lang.GetText("#0095"), "Ask");
    EXPECT_EQ(chinese_dlg->m_lang.GetText("#0095"), "询问");
    EXPECT_EQ(english_dlg->m_lang.GetText("#0109"), "Tips");
    EXPECT_EQ(chinese_dlg->m_lang.GetText("#0109"), "提示");
    EXPECT_EQ(chinese_dlg->m_lang.GetText("#0106"), "设备重启中, 请稍候再试。");
    EXPECT_EQ(english_dlg->m_lang.GetText("#0073"), "");  // labels still come from the file

    // Each control takes its language file on its own.
    const std::string file = LangFile("activex_both", "Go");
    std::string error;
    ASSERT_TRUE(english_site->CallMethod("SetLang", {file}, &error)) << error;
    EXPECT_EQ(std::string(english->FindWindow(searchui::IDC_SEARCH)->GetLabel().utf8_str()), "Go");
    EXPECT_NE(std::string(chinese->FindWindow(searchui::IDC_SEARCH)->GetLabel().utf8_str()), "Go");

    library_frame->Destroy();
    m_sites.erase(m_sites.begin());
    english_site->Destroy();
    english_frame->Destroy();
}

}  // namespace
