// The component-object layer the kit's controls are built on: reference-counted
// interfaces found through QueryInterface, class factories served by a module's
// DllGetClassObject, dispatch by DISPID with a small variant, the safety
// options a script host asks for, and the registry entries of type libraries,
// control classes and property pages. Only what the two search controls,
// regsvr32, the container and the installer need; no GUI libraries.
//
// Every object here lives on the thread of its host's user interface
// ("Apartment"); only the module's object and lock count is atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/com.h"

class wxWindow;

namespace platform {

using ULONG = std::uint32_t;
using DISPID = std::int32_t;
using LCID = std::uint32_t;

constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
constexpr HRESULT TYPE_E_REGISTRYACCESS = static_cast<HRESULT>(0x8002801Cu);

// Interface identifiers, with the values the system gives them; the
// in-place control interface is this layer's own.
extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;
extern const IID IID_IDispatch;
extern const IID IID_IObjectSafety;
extern const IID IID_IPersistStreamInit;
extern const IID IID_IPersistPropertyBag;
extern const IID IID_IPersistStorage;
extern const IID IID_IPersistMemory;
extern const IID IID_IOleInPlaceControl;

// Parses a GUID written as a constant; the text must be valid.
GUID MakeGuid(const char* text);

struct IUnknown {
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

// The argument kinds the controls' methods take.
enum VARTYPE : std::uint16_t { VT_EMPTY = 0, VT_I4 = 3, VT_BSTR = 8, VT_BOOL = 11 };

struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    std::int32_t lVal = 0;
    bool boolVal = false;
    std::string bstrVal;  // UTF-8

    static VARIANT String(std::string text);
    static VARIANT Long(std::int32_t value);
};

constexpr std::uint16_t DISPATCH_METHOD = 1;

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(unsigned* count) = 0;
    // DISP_E_UNKNOWNNAME for a name the object does not have (names compare
    // without regard to case).
    virtual HRESULT GetIDsOfNames(const std::string& name, DISPID* id) = 0;
    // Arguments in call order. DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT or
    // DISP_E_TYPEMISMATCH when the call does not fit the method.
    virtual HRESULT Invoke(DISPID id, std::uint16_t flags, const std::vector<VARIANT>& args, VARIANT* result) = 0;

protected:
    ~IDispatch() = default;
};

// Options of IObjectSafety.
constexpr std::uint32_t INTERFACESAFE_FOR_UNTRUSTED_CALLER = 1;
constexpr std::uint32_t INTERFACESAFE_FOR_UNTRUSTED_DATA = 2;

struct IObjectSafety : IUnknown {
    virtual HRESULT GetInterfaceSafetyOptions(const IID& iid, std::uint32_t* supported, std::uint32_t* enabled) = 0;
    virtual HRESULT SetInterfaceSafetyOptions(const IID& iid, std::uint32_t mask, std::uint32_t enabled) = 0;

protected:
    ~IObjectSafety() = default;
};

// A control's persistent state: the stream form holds the version number
// first, as four little-endian bytes.
struct IPersistStreamInit : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(const std::string& stream) = 0;
    virtual HRESULT Save(std::string* stream) = 0;

protected:
    ~IPersistStreamInit() = default;
};

// The same state as named values ("_Version").
struct PropertyBagEntry {
    std::string name;
    VARIANT value;
};
using PropertyBag = std::vector<PropertyBagEntry>;

struct IPersistPropertyBag : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(const PropertyBag& bag) = 0;
    virtual HRESULT Save(PropertyBag* bag) = 0;

protected:
    ~IPersistPropertyBag() = default;
};

// How a container places a windowed control: the control makes its window as
// a child of `parent` at `bounds` (in the parent's client pixels), follows
// new bounds, and destroys its window on Close.
struct ControlRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct IOleInPlaceControl : IUnknown {
    virtual HRESULT InPlaceActivate(wxWindow* parent, const ControlRect& bounds) = 0;
    virtual HRESULT SetObjectRects(const ControlRect& bounds) = 0;
    virtual HRESULT Close() = 0;
    // The control's window, or null before activation.
    virtual wxWindow* GetWindow() = 0;

protected:
    ~IOleInPlaceControl() = default;
};

// The live objects and server locks of one module, for DllCanUnloadNow. Each
// module links this layer statically and so counts its own.
class ModuleCount {
public:
    static void Lock();
    static void Unlock();
    static long Count();
};

// A class factory of a module, in the manner of the framework's object
// factories: made once per class when the module loads and kept in the
// module's list, which DllGetClassObject searches and registration walks.
class COleObjectFactory : public IClassFactory {
public:
    COleObjectFactory(const CLSID& clsid, std::string prog_id);
    virtual ~COleObjectFactory();
    COleObjectFactory(const COleObjectFactory&) = delete;
    COleObjectFactory& operator=(const COleObjectFactory&) = delete;

    const CLSID& clsid() const { return m_clsid; }
    const std::string& prog_id() const { return m_progId; }

    HRESULT QueryInterface(const IID& iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override;
    HRESULT LockServer(bool lock) override;

    // Writes (true) or removes (false) the class's registry entries.
    virtual bool UpdateRegistry(bool registering) = 0;

    // The module's factories, in the order they were made.
    static std::vector<COleObjectFactory*>& Factories();
    // Every factory's UpdateRegistry; false at the first one that fails.
    static bool UpdateRegistryAll(bool registering);

protected:
    // A new object with one reference held by the caller, or null.
    virtual IUnknown* CreateObject() = 0;

private:
    CLSID m_clsid;
    std::string m_progId;
};

// The framework's class-object lookup over the module's factories.
HRESULT AfxDllGetClassObject(const CLSID& clsid, const IID& iid, void** object);
// S_OK when no object of the module lives and no lock is held, else S_FALSE.
HRESULT AfxDllCanUnloadNow();

// A reference-counted object's common part: counts its references and the
// module's live objects, and deletes itself at the last Release.
class CComObjectBase {
public:
    CComObjectBase() { ModuleCount::Lock(); }
    virtual ~CComObjectBase() { ModuleCount::Unlock(); }
    CComObjectBase(const CComObjectBase&) = delete;
    CComObjectBase& operator=(const CComObjectBase&) = delete;

protected:
    ULONG InternalAddRef() { return ++m_refs; }
    ULONG InternalRelease();

private:
    std::atomic<ULONG> m_refs{1};
};

// Registration records.
constexpr std::uint32_t LIBFLAG_FCONTROL = 2;

struct TypeLibInfo {
    GUID libid;
    std::string name;          // "KEPLINACTIVEXLib"
    std::string help_string;
    int major = 1, minor = 0;
    LCID lcid = 0x409;
    std::uint32_t flags = LIBFLAG_FCONTROL;
    struct Interface {
        IID iid;
        std::string name;
    };
    std::vector<Interface> interfaces;  // dispatch and event interfaces
};

// TypeLib\{libid}\1.0: (default) help string, FLAGS, <lcid>\linux the module's
// path, HELPDIR the module's folder; and Interface\{iid} for each interface
// with its name, proxy stub and type library. One change: all or nothing.
HRESULT RegisterTypeLib(const TypeLibInfo& info, const std::string& module_path);
// Removes the version key (and the library key when no other version is left)
// and the interface keys. A library that was never registered is no error.
HRESULT UnregisterTypeLib(const TypeLibInfo& info);

// Flags of a control class registration.
constexpr unsigned afxRegApartmentThreading = 2;

struct ControlClassInfo {
    CLSID clsid;
    std::string prog_id;
    std::string user_type_name;
    std::string module_path;
    unsigned toolbox_bitmap_id = 1;
    unsigned reg_flags = afxRegApartmentThreading;
    std::uint32_t misc_status = 0;
    GUID libid;
    int major = 1, minor = 0;
};

// The control's class keys (RegisterClassKeys) and beneath them Control,
// ToolboxBitmap32 "path, id", MiscStatus with "1" = misc status, TypeLib and
// Version. One change. S_OK or SELFREG_E_CLASS.
HRESULT RegisterControlClass(const ControlClassInfo& info);
// The property page's class keys. S_OK or SELFREG_E_CLASS.
HRESULT RegisterPropertyPageClass(const CLSID& clsid, const std::string& user_type_name,
                                  const std::string& module_path);

}  // namespace platform
