#include "platform/com.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits at `text[*at]`.
bool ReadHex(const std::string& text, std::size_t* at, int digits, std::uint64_t* value) {
    *value = 0;
    for (int i = 0; i < digits; ++i, ++*at) {
        if (*at >= text.size()) return false;
        const int digit = HexDigit(text[*at]);
        if (digit < 0) return false;
        *value = *value << 4 | static_cast<std::uint64_t>(digit);
    }
    return true;
}

bool Expect(const std::string& text, std::size_t* at, char c) {
    if (*at >= text.size() || text[*at] != c) return false;
    ++*at;
    return true;
}

}  // namespace

LSTATUS SetClassesRootString(const std::string& subkey, const std::string& name, const std::string& text) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyEx(HKEY_CLASSES_ROOT, subkey, &key);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetString(key, name, text);
    RegCloseKey(key);
    return status;
}

LSTATUS DeleteClassesRootTree(const std::string& subkey) {
    const LSTATUS status = RegDeleteTree(HKEY_CLASSES_ROOT, subkey);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

bool ParseGuid(const std::string& text, GUID* guid) {
    std::size_t at = 0;
    const bool braced = !text.empty() && text[0] == '{';
    if (braced) at = 1;
    std::uint64_t value = 0;
    GUID parsed;
    if (!ReadHex(text, &at, 8, &value) || !Expect(text, &at, '-')) return false;
    parsed.Data1 = static_cast<std::uint32_t>(value);
    if (!ReadHex(text, &at, 4, &value) || !Expect(text, &at, '-')) return false;
    parsed.Data2 = static_cast<std::uint16_t>(value);
    if (!ReadHex(text, &at, 4, &value) || !Expect(text, &at, '-')) return false;
    parsed.Data3 = static_cast<std::uint16_t>(value);
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && !Expect(text, &at, '-')) return false;
        if (!ReadHex(text, &at, 2, &value)) return false;
        parsed.Data4[i] = static_cast<std::uint8_t>(value);
    }
    if (braced && !Expect(text, &at, '}')) return false;
    if (at != text.size()) return false;
    if (guid) *guid = parsed;
    return true;
}

std::string FormatGuid(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                  guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                  guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

std::string ModulePath(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname || !*info.dli_fname) return std::string();
    // The main program's entry has the name it was started by; the kernel's
    // link holds the absolute path.
    char resolved[PATH_MAX];
    if (std::strchr(info.dli_fname, '/') == nullptr) {
        const ssize_t n = readlink("/proc/self/exe", resolved, sizeof resolved - 1);
        if (n <= 0) return std::string();
        return std::string(resolved, static_cast<std::size_t>(n));
    }
    if (!realpath(info.dli_fname, resolved)) return std::string();
    return resolved;
}

HRESULT RegisterClassKeys(const ClassRegistration& entry, LSTATUS* status) {
    const std::string clsid = FormatGuid(entry.clsid);
    const std::string key = "CLSID\\" + clsid;
    RegistryTransaction transaction;
    LSTATUS result = transaction.status();
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key, "", entry.user_type_name);
    if (result == ERROR_SUCCESS) result = SetClassesRootString(key + "\\InprocServer32", "", entry.module_path);
    if (result == ERROR_SUCCESS)
        result = SetClassesRootString(key + "\\InprocServer32", "ThreadingModel", entry.threading_model);
    if (!entry.prog_id.empty()) {
        if (result == ERROR_SUCCESS) result = SetClassesRootString(key + "\\ProgID", "", entry.prog_id);
        if (result == ERROR_SUCCESS) result = SetClassesRootString(entry.prog_id, "", entry.user_type_name);
        if (result == ERROR_SUCCESS) result = SetClassesRootString(entry.prog_id + "\\CLSID", "", clsid);
    }
    if (result == ERROR_SUCCESS) result = transaction.Commit();
    if (status) *status = result;
    return result == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterClassKeys(const CLSID& clsid, const std::string& prog_id, LSTATUS* status) {
    RegistryTransaction transaction;
    LSTATUS result = transaction.status();
    if (result == ERROR_SUCCESS) result = DeleteClassesRootTree("CLSID\\" + FormatGuid(clsid));
    if (result == ERROR_SUCCESS && !prog_id.empty()) result = DeleteClassesRootTree(prog_id);
    if (result == ERROR_SUCCESS) result = transaction.Commit();
    if (status) *status = result;
    return result == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

}  // namespace platform
