#include "platform/olecontainer.h"

#include <dlfcn.h>

#include <cstdio>

#include "platform/registry.h"

namespace platform {
namespace {

bool ReadDefault(const std::string& subkey, std::string* text) {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subkey, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegistryValue value;
    const bool found = RegQueryValueEx(key, "", &value) == ERROR_SUCCESS && value.type == REG_SZ;
    RegCloseKey(key);
    if (found) *text = value.text;
    return found;
}

ControlRect ClientBounds(const wxWindow* window) {
    const wxSize size = window->GetClientSize();
    return ControlRect{0, 0, size.x, size.y};
}

}  // namespace

std::string HResultText(HRESULT hr) {
    const char* meaning = "";
    switch (hr) {
    case S_OK: meaning = " (success)"; break;
    case E_NOINTERFACE: meaning = " (no such interface)"; break;
    case E_POINTER: meaning = " (null pointer)"; break;
    case E_FAIL: meaning = " (failed)"; break;
    case E_OUTOFMEMORY: meaning = " (out of memory)"; break;
    case CLASS_E_CLASSNOTAVAILABLE: meaning = " (the module does not provide the class)"; break;
    case REGDB_E_CLASSNOTREG: meaning = " (class not registered)"; break;
    case DISP_E_UNKNOWNNAME: meaning = " (unknown method)"; break;
    case DISP_E_MEMBERNOTFOUND: meaning = " (no such method)"; break;
    case DISP_E_BADPARAMCOUNT: meaning = " (wrong number of arguments)"; break;
    case DISP_E_TYPEMISMATCH: meaning = " (wrong argument type)"; break;
    default: break;
    }
    char text[24];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text + std::string(meaning);
}

HRESULT FindControlClass(const std::string& name, ControlLocation* location, std::string* error) {
    std::string clsid_text = name;
    if (!ParseGuid(name, nullptr)) {
        if (!ReadDefault(name + "\\CLSID", &clsid_text)) {
            if (error) *error = "\"" + name + "\" is not a registered ProgID (no key " + name + "\\CLSID)";
            return REGDB_E_CLASSNOTREG;
        }
    }
    CLSID clsid;
    if (!ParseGuid(clsid_text, &clsid)) {
        if (error) *error = "\"" + clsid_text + "\" is not a class identifier";
        return REGDB_E_CLASSNOTREG;
    }
    const std::string server_key = "CLSID\\" + FormatGuid(clsid) + "\\InprocServer32";
    std::string path;
    if (!ReadDefault(server_key, &path) || path.empty()) {
        if (error) *error = "the class " + FormatGuid(clsid) + " is not registered (no key " + server_key + ")";
        return REGDB_E_CLASSNOTREG;
    }
    location->clsid = clsid;
    location->module_path = path;
    return S_OK;
}

HRESULT CreateControlInstance(const ControlLocation& location, const IID& iid, void** object, std::string* error) {
    *object = nullptr;
    void* module = dlopen(location.module_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        if (error) *error = "the module " + location.module_path + " does not load: " + (why ? why : "");
        return E_FAIL;
    }
    using GetClassObject = HRESULT (*)(const CLSID&, const IID&, void**);
    auto entry = reinterpret_cast<GetClassObject>(dlsym(module, "DllGetClassObject"));
    if (!entry) {
        if (error) *error = "the module " + location.module_path + " has no DllGetClassObject";
        return E_FAIL;
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = entry(location.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || !factory) {
        if (error) *error = "no class object for " + FormatGuid(location.clsid) + ": " + HResultText(hr);
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = factory->CreateInstance(nullptr, iid, object);
    factory->Release();
    if (FAILED(hr) && error) *error = "the class object made no control: " + HResultText(hr);
    return hr;
}

COleControlSite::COleControlSite(wxWindow* parent, wxWindowID id)
    : wxWindow(parent, id, wxDefaultPosition, wxDefaultSize, 0, "COleControlSite") {
    Bind(wxEVT_SIZE, &COleControlSite::OnSize, this);
}

COleControlSite::~COleControlSite() { ReleaseControl(); }

void COleControlSite::ReleaseControl() {
    if (m_inPlace) {
        m_inPlace->Close();
        m_inPlace->Release();
        m_inPlace = nullptr;
    }
    if (m_control) {
        m_control->Release();
        m_control = nullptr;
    }
}

bool COleControlSite::CreateControl(const std::string& name, std::string* error) {
    ReleaseControl();
    ControlLocation location;
    if (FAILED(FindControlClass(name, &location, error))) return false;
    void* object = nullptr;
    if (FAILED(CreateControlInstance(location, IID_IUnknown, &object, error))) return false;
    m_control = static_cast<IUnknown*>(object);

    // A new control starts from its defaults, then gets its window.
    void* persist = nullptr;
    if (SUCCEEDED(m_control->QueryInterface(IID_IPersistStreamInit, &persist))) {
        static_cast<IPersistStreamInit*>(persist)->InitNew();
        static_cast<IPersistStreamInit*>(persist)->Release();
    }
    void* in_place = nullptr;
    HRESULT hr = m_control->QueryInterface(IID_IOleInPlaceControl, &in_place);
    if (FAILED(hr)) {
        if (error) *error = "the object is not a windowed control: " + HResultText(hr);
        ReleaseControl();
        return false;
    }
    m_inPlace = static_cast<IOleInPlaceControl*>(in_place);
    hr = m_inPlace->InPlaceActivate(this, ClientBounds(this));
    if (FAILED(hr)) {
        if (error) *error = "the control could not make its window: " + HResultText(hr);
        ReleaseControl();
        return false;
    }
    return true;
}

bool COleControlSite::CallMethod(const std::string& method, const std::vector<std::string>& args,
                                 std::string* error) {
    if (!m_control) {
        if (error) *error = "no control";
        return false;
    }
    void* object = nullptr;
    if (FAILED(m_control->QueryInterface(IID_IDispatch, &object))) {
        if (error) *error = "the control has no dispatch interface";
        return false;
    }
    auto* dispatch = static_cast<IDispatch*>(object);
    DISPID id = 0;
    HRESULT hr = dispatch->GetIDsOfNames(method, &id);
    if (SUCCEEDED(hr)) {
        std::vector<VARIANT> values;
        for (const std::string& arg : args) values.push_back(VARIANT::String(arg));
        hr = dispatch->Invoke(id, DISPATCH_METHOD, values, nullptr);
    }
    dispatch->Release();
    if (FAILED(hr) && error) *error = "method " + method + ": " + HResultText(hr);
    return SUCCEEDED(hr);
}

wxWindow* COleControlSite::GetControlWindow() const { return m_inPlace ? m_inPlace->GetWindow() : nullptr; }

void COleControlSite::OnSize(wxSizeEvent& event) {
    if (m_inPlace) m_inPlace->SetObjectRects(ClientBounds(this));
    event.Skip();
}

}  // namespace platform
