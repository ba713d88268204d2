// The control module: its two class factories (the control and its property
// page), the type library's registration and the four entry points.
#include "activex/keplinactivexctrl.h"
#include "platform/dlgtemplate.h"

using namespace platform;

#define KEPLIN_OCX_EXPORT extern "C" __attribute__((visibility("default")))

KEPLIN_OCX_EXPORT HRESULT DllRegisterServer();
KEPLIN_OCX_EXPORT HRESULT DllUnregisterServer();
KEPLIN_OCX_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object);
KEPLIN_OCX_EXPORT HRESULT DllCanUnloadNow();

namespace activex {
namespace {

// The property pages show only a note: the controls have no properties.
const DialogTemplate kPropPage{
    IDD_PROPPAGE_KEPLINACTIVEX, 250, 62, "宋体", 9,
    {
        {-1, ControlKind::Static, 14, 25, 222, 12, 0, "此控件没有可设置的属性。"},
    }};
const DialogTemplate kPropPageEn{
    IDD_PROPPAGE_KEPLINACTIVEX_EN, 250, 62, "Arial", 8,
    {
        {-1, ControlKind::Static, 14, 25, 222, 12, 0, "This control has no properties to set."},
    }};

std::string ModuleFile() { return ModulePath(reinterpret_cast<const void*>(&DllRegisterServer)); }

class CKeplinOcxPropPage : public COlePropertyPage {
public:
    CKeplinOcxPropPage()
        : COlePropertyPage(kPropPageTemplate == kPropPage.id ? &kPropPage : &kPropPageEn,
                           LoadModuleString(IDS_KEPLINACTIVEX_PPG_CAPTION)) {}
};

class ControlFactory : public COleObjectFactory {
public:
    ControlFactory() : COleObjectFactory(MakeGuid(kControlClsid), kControlProgId) {}

    bool UpdateRegistry(bool registering) override {
        if (!registering) return SUCCEEDED(UnregisterClassKeys(clsid(), prog_id()));
        ControlClassInfo info;
        info.clsid = clsid();
        info.prog_id = prog_id();
        info.user_type_name = LoadModuleString(IDS_KEPLINACTIVEX);
        info.module_path = ModuleFile();
        info.toolbox_bitmap_id = IDB_KEPLINACTIVEX;
        info.reg_flags = afxRegApartmentThreading;
        info.misc_status = kMiscStatus;
        info.libid = TypeLib().libid;
        return SUCCEEDED(RegisterControlClass(info));
    }

protected:
    IUnknown* CreateObject() override { return static_cast<IDispatch*>(new CKeplinOcxCtrl); }
};

class PropPageFactory : public COleObjectFactory {
public:
    PropPageFactory() : COleObjectFactory(MakeGuid(kPageClsid), kPageProgId) {}

    bool UpdateRegistry(bool registering) override {
        if (!registering) return SUCCEEDED(UnregisterClassKeys(clsid(), std::string()));
        return SUCCEEDED(RegisterPropertyPageClass(clsid(), LoadModuleString(IDS_KEPLINACTIVEX_PPG), ModuleFile()));
    }

protected:
    IUnknown* CreateObject() override { return new CKeplinOcxPropPage; }
};

ControlFactory g_controlFactory;
PropPageFactory g_propPageFactory;

}  // namespace

const TypeLibInfo& TypeLib() {
    static const TypeLibInfo info = [] {
        TypeLibInfo t;
        t.libid = MakeGuid(kTypeLibId);
        t.name = kTypeLibName;
        t.help_string = kTypeLibHelpString;
        t.interfaces = {{MakeGuid(kDispatchIid), kDispatchName}, {MakeGuid(kEventsIid), kEventsName}};
        return t;
    }();
    return info;
}

}  // namespace activex

// Registration is one change of the store: a failure part-way leaves nothing
// of it behind.
extern "C" HRESULT DllRegisterServer() {
    RegistryTransaction transaction;
    if (transaction.status() != ERROR_SUCCESS) return SELFREG_E_TYPELIB;
    if (FAILED(RegisterTypeLib(activex::TypeLib(), ModulePath(reinterpret_cast<const void*>(&DllRegisterServer)))))
        return SELFREG_E_TYPELIB;
    if (!COleObjectFactory::UpdateRegistryAll(true)) return SELFREG_E_CLASS;
    return transaction.Commit() == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT DllUnregisterServer() {
    RegistryTransaction transaction;
    if (transaction.status() != ERROR_SUCCESS) return SELFREG_E_TYPELIB;
    if (FAILED(UnregisterTypeLib(activex::TypeLib()))) return SELFREG_E_TYPELIB;
    if (!COleObjectFactory::UpdateRegistryAll(false)) return SELFREG_E_CLASS;
    return transaction.Commit() == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object) {
    return AfxDllGetClassObject(clsid, iid, object);
}

extern "C" HRESULT DllCanUnloadNow() { return AfxDllCanUnloadNow(); }
