// Helpers of the control tests: running our own programs and reading the
// registry store.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "platform/registry.h"

namespace activex_test {

struct Result {
    int status;
    std::string out;
};

// Runs a command line made only of our own paths and collects its standard
// output (and its standard error too, with `with_errors`).
inline Result Shell(const std::string& command, bool with_errors = true) {
    Result result{-1, ""};
    std::FILE* pipe = popen((with_errors ? command + " 2>&1" : command).c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

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
