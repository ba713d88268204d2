// Component-object basics shared by the control modules, regsvr32 and the
// installer: class identifiers, result codes, and the registry entries that
// make a class in a module known to the system.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace platform {

using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};
};
using CLSID = GUID;
using IID = GUID;

bool operator==(const GUID& a, const GUID& b);
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

// Reads "{5E885D2D-5D22-4C21-9D9E-2B98B142948E}" (braces optional, hex digits
// of either case). False for anything else.
bool ParseGuid(const std::string& text, GUID* guid);

// "{5E885D2D-5D22-4C21-9D9E-2B98B142948E}", upper case.
std::string FormatGuid(const GUID& guid);

// The absolute path of the shared object (or program) that holds `address`;
// empty when unknown. A module passes the address of one of its functions to
// learn where it was loaded from.
std::string ModulePath(const void* address);

// Sets a string value (the default value when `name` is empty) of a key below
// HKEY_CLASSES_ROOT, creating the key; and deletes a key below it with
// everything beneath, a key that is already gone being no error.
LSTATUS SetClassesRootString(const std::string& subkey, const std::string& name, const std::string& text);
LSTATUS DeleteClassesRootTree(const std::string& subkey);

// What registering an in-process class writes below HKEY_CLASSES_ROOT:
//   CLSID\{clsid}                 (default) user type name
//   CLSID\{clsid}\InprocServer32  (default) module path, ThreadingModel
//   CLSID\{clsid}\ProgID          (default) ProgID
//   <ProgID>                      (default) user type name
//   <ProgID>\CLSID                (default) {clsid}
struct ClassRegistration {
    CLSID clsid;
    std::string prog_id;         // may be empty: no ProgID keys
    std::string user_type_name;
    std::string module_path;
    std::string threading_model = "Apartment";
};

// Writes the keys above; with an open transaction they join it. S_OK or
// SELFREG_E_CLASS (the store's status in `*status` when given).
HRESULT RegisterClassKeys(const ClassRegistration& entry, LSTATUS* status = nullptr);

// Removes the class key and the ProgID key with everything beneath them. Keys
// that are already gone are no error.
HRESULT UnregisterClassKeys(const CLSID& clsid, const std::string& prog_id, LSTATUS* status = nullptr);

}  // namespace platform
