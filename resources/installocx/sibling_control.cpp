// A small control module of the kit's "Installocx" folder: one class that
// registers and unregisters itself in the registry store. Built once per
// control, with its identity given by the build (CONTROL_CLSID,
// CONTROL_PROGID, CONTROL_NAME).
#include "platform/com.h"

using platform::HRESULT;

#define CONTROL_EXPORT extern "C" __attribute__((visibility("default")))

CONTROL_EXPORT HRESULT DllRegisterServer();
CONTROL_EXPORT HRESULT DllUnregisterServer();

namespace {

platform::CLSID ClassId() {
    platform::CLSID clsid;
    platform::ParseGuid(CONTROL_CLSID, &clsid);
    return clsid;
}

}  // namespace

extern "C" HRESULT DllRegisterServer() {
    platform::ClassRegistration entry;
    entry.clsid = ClassId();
    entry.prog_id = CONTROL_PROGID;
    entry.user_type_name = CONTROL_NAME " Control";
    entry.module_path = platform::ModulePath(reinterpret_cast<const void*>(&DllRegisterServer));
    if (entry.module_path.empty()) return platform::SELFREG_E_CLASS;
    return platform::RegisterClassKeys(entry);
}

extern "C" HRESULT DllUnregisterServer() { return platform::UnregisterClassKeys(ClassId(), CONTROL_PROGID); }
