// Helpers of the control tests: running our own programs and reading the
// registry store.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "../shell_capture.h"
#include "platform/registry.h"

namespace activex_test {

using test_shell::Result;
using test_shell::Shell;

// A value of a key below HKEY_CLASSES_ROOT (the default value unless named);
// "<missing>" when the key or the value is not there.
inline std::string Default(const std::string& subkey, const std::string& name = "") {
    using namespace platform;
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subkey, KEY_READ, &key) != ERROR_SUCCESS) return "<missing>";
    RegistryValue value;
    const LSTATUS status = RegQueryValueEx(key, name, &value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? value.text : "<missing>";
}

inline bool KeyExists(const std::string& subkey) {
    using namespace platform;
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subkey, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace activex_test
