// A module for regsvr32's tests: no DllRegisterServer, and a
// DllUnregisterServer that fails.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t DllUnregisterServer() {
    return static_cast<std::int32_t>(0x80004005u);
}
