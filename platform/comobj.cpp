#include "platform/comobj.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

std::atomic<long> g_module_count{0};

std::string Version(int major, int minor) { return std::to_string(major) + "." + std::to_string(minor); }

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The system's proxy for dispatch interfaces, which type library
// registration names for every dispatch interface.
constexpr const char* kDispatchProxy = "{00020420-0000-0000-C000-000000000046}";

}  // namespace

const IID IID_IUnknown = MakeGuid("{00000000-0000-0000-C000-000000000046}");
const IID IID_IClassFactory = MakeGuid("{00000001-0000-0000-C000-000000000046}");
const IID IID_IDispatch = MakeGuid("{00020400-0000-0000-C000-000000000046}");
const IID IID_IObjectSafety = MakeGuid("{CB5BDC81-93C1-11CF-8F20-00805F2CD064}");
const IID IID_IPersistStreamInit = MakeGuid("{7FD52380-4E07-101B-AE2D-08002B2EC713}");
const IID IID_IPersistPropertyBag = MakeGuid("{37D84F60-42CB-11CE-8135-00AA004BB851}");
const IID IID_IPersistStorage = MakeGuid("{0000010A-0000-0000-C000-000000000046}");
const IID IID_IPersistMemory = MakeGuid("{BD1AE5E0-A6AE-11CE-BD37-504200C10000}");
const IID IID_IOleInPlaceControl = MakeGuid("{8C2E41B7-5F0A-4D3E-9B61-3A7D20C4E915}");

GUID MakeGuid(const char* text) {
    GUID guid;
    if (!ParseGuid(text, &guid)) std::abort();  // a constant of the program is wrong
    return guid;
}

VARIANT VARIANT::String(std::string text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = std::move(text);
    return v;
}

VARIANT VARIANT::Long(std::int32_t value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

void ModuleCount::Lock() { ++g_module_count; }
void ModuleCount::Unlock() { --g_module_count; }
long ModuleCount::Count() { return g_module_count.load(); }

ULONG CComObjectBase::InternalRelease() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

// ---------------------------------------------------------------------------
// Class factories.

COleObjectFactory::COleObjectFactory(const CLSID& clsid, std::string prog_id)
    : m_clsid(clsid), m_progId(std::move(prog_id)) {
    Factories().push_back(this);
}

COleObjectFactory::~COleObjectFactory() {
    auto& list = Factories();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == this) {
            list.erase(it);
            break;
        }
    }
}

std::vector<COleObjectFactory*>& COleObjectFactory::Factories() {
    // Never destroyed: factories of static storage unregister during exit.
    static auto* list = new std::vector<COleObjectFactory*>;
    return *list;
}

HRESULT COleObjectFactory::QueryInterface(const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

// A factory lives as long as its module; a reference held by a client keeps
// the module loaded.
ULONG COleObjectFactory::AddRef() {
    ModuleCount::Lock();
    return 2;
}

ULONG COleObjectFactory::Release() {
    ModuleCount::Unlock();
    return 1;
}

HRESULT COleObjectFactory::CreateInstance(IUnknown* outer, const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IUnknown* created = CreateObject();
    if (!created) return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

HRESULT COleObjectFactory::LockServer(bool lock) {
    if (lock)
        ModuleCount::Lock();
    else
        ModuleCount::Unlock();
    return S_OK;
}

bool COleObjectFactory::UpdateRegistryAll(bool registering) {
    for (COleObjectFactory* factory : Factories())
        if (!factory->UpdateRegistry(registering)) return false;
    return true;
}

HRESULT AfxDllGetClassObject(const CLSID& clsid, const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (COleObjectFactory* factory : COleObjectFactory::Factories())
        if (factory->clsid() == clsid) return factory->QueryInterface(iid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT AfxDllCanUnloadNow() { return ModuleCount::Count() == 0 ? S_OK : S_FALSE; }

// ---------------------------------------------------------------------------
// Registration.

HRESULT RegisterTypeLib(const TypeLibInfo& info, const std::string& module_path) {
    if (module_path.empty()) return TYPE_E_REGISTRYACCESS;
    const std::string libid = FormatGuid(info.libid);
    const std::string version = Version(info.major, info.minor);
    const std::string key = "TypeLib\\" + libid + "\\" + version;
    RegistryTransaction transaction;
    LSTATUS result = transaction.status();
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key, "", info.help_string.empty() ? info.name : info.help_string);
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key + "\\FLAGS", "", std::to_string(info.flags));
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key + "\\" + Hex(info.lcid) + "\\linux", "", module_path);
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key + "\\HELPDIR", "", Folder(module_path));
    for (const auto& itf : info.interfaces) {
        const std::string ikey = "Interface\\" + FormatGuid(itf.iid);
        if (result == ERROR_SUCCESS) result = SetClassesRootString(ikey, "", itf.name);
        if (result == ERROR_SUCCESS) result = SetClassesRootString(ikey + "\\ProxyStubClsid", "", kDispatchProxy);
        if (result == ERROR_SUCCESS) result = SetClassesRootString(ikey + "\\ProxyStubClsid32", "", kDispatchProxy);
        if (result == ERROR_SUCCESS) result = SetClassesRootString(ikey + "\\TypeLib", "", libid);
        if (result == ERROR_SUCCESS) result = SetClassesRootString(ikey + "\\TypeLib", "Version", version);
    }
    if (result == ERROR_SUCCESS) result = transaction.Commit();
    return result == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT UnregisterTypeLib(const TypeLibInfo& info) {
    const std::string lib_key = "TypeLib\\" + FormatGuid(info.libid);
    RegistryTransaction transaction;
    LSTATUS result = transaction.status();
    if (result == ERROR_SUCCESS) result = DeleteClassesRootTree(lib_key + "\\" + Version(info.major, info.minor));
    if (result == ERROR_SUCCESS) {
        // The library key goes too once no version is left beneath it.
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_CLASSES_ROOT, lib_key, KEY_READ, &key) == ERROR_SUCCESS) {
            DWORD subkeys = 0;
            const bool empty = RegQueryInfoKey(key, &subkeys, nullptr) == ERROR_SUCCESS && subkeys == 0;
            RegCloseKey(key);
            if (empty) result = DeleteClassesRootTree(lib_key);
        }
    }
    for (const auto& itf : info.interfaces)
        if (result == ERROR_SUCCESS) result = DeleteClassesRootTree("Interface\\" + FormatGuid(itf.iid));
    if (result == ERROR_SUCCESS) result = transaction.Commit();
    return result == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT RegisterControlClass(const ControlClassInfo& info) {
    if (info.module_path.empty()) return SELFREG_E_CLASS;
    ClassRegistration entry;
    entry.clsid = info.clsid;
    entry.prog_id = info.prog_id;
    entry.user_type_name = info.user_type_name;
    entry.module_path = info.module_path;
    entry.threading_model = (info.reg_flags & afxRegApartmentThreading) ? "Apartment" : "";
    const std::string key = "CLSID\\" + FormatGuid(info.clsid);
    RegistryTransaction transaction;
    LSTATUS result = transaction.status();
    if (result == ERROR_SUCCESS && RegisterClassKeys(entry, &result) != S_OK && result == ERROR_SUCCESS)
        result = ERROR_CANTWRITE;
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key + "\\Control", "", "");
    if (result == ERROR_SUCCESS)
        result = SetClassesRootString(key + "\\ToolboxBitmap32", "",
                         info.module_path + ", " + std::to_string(info.toolbox_bitmap_id));
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key + "\\MiscStatus", "", "0");
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key + "\\MiscStatus\\1", "", std::to_string(info.misc_status));
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key + "\\TypeLib", "", FormatGuid(info.libid));
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key + "\\Version", "", Version(info.major, info.minor));
    if (result == ERROR_SUCCESS) result = transaction.Commit();
    return result == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

HRESULT RegisterPropertyPageClass(const CLSID& clsid, const std::string& user_type_name,
                                  const std::string& module_path) {
    if (module_path.empty()) return SELFREG_E_CLASS;
    ClassRegistration entry;
    entry.clsid = clsid;
    entry.user_type_name = user_type_name;
    entry.module_path = module_path;
    return RegisterClassKeys(entry);
}

}  // namespace platform
