#include "wizard/install_worker.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/com.h"
#include "platform/filecopy.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace wizard {
namespace {

// The class keys of the Chinese and the English search control.
const char* const kControlClassKeys[] = {
    "CLSID\\{5E885D2D-5D22-4c21-9D9E-2B98B142948E}",
    "CLSID\\{4CD1E4D7-7124-48a5-BDB3-240EDFD1969A}",
};

// The batch file's lines, each formatted with the target directory.
const char* const kBatchLines[] = {
    "regsvr32 -u -s %s/KeplinOcx_cn.ocx \r\n",
    "regsvr32 -u -s %s/KeplinOcx_en.ocx \r\n",
    "regsvr32 -u -s %s/ocx_L/Ombrel.ocx \r\n",
    "regsvr32 -u -s %s/ocx_M/Halvix.ocx \r\n",
    "regsvr32 -s %s/KeplinOcx_cn.ocx \r\n",
    "regsvr32 -s %s/KeplinOcx_en.ocx \r\n",
    "regsvr32 -s %s/ocx_L/Ombrel.ocx \r\n",
    "regsvr32 -s %s/ocx_M/Halvix.ocx \r\n",
};

std::atomic<Wow64Probe> g_wow64_probe{nullptr};

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
    if (!std::getenv("KEPLIN_INSTALL_LOG")) return;
    std::va_list args;
    va_start(args, format);
    std::string line = "install: ";
    char text[2048];
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    line += text;
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

bool RealIsWow64() {
    if (sizeof(void*) != 4) return false;
    utsname name{};
    if (uname(&name) != 0) return false;
    return std::strcmp(name.machine, "x86_64") == 0 || std::strcmp(name.machine, "aarch64") == 0;
}

// Makes `path` when it is missing, never writable by group or others.
bool MakeDirectory(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error || !IsDirectory(path)) return false;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && (info.st_mode & 022) != 0) chmod(path.c_str(), info.st_mode & ~022);
    return true;
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::vector<std::string> EntryNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void FirewallException() {
    // One argument for the path, so that blanks in it stay part of it.
    const std::string program = platform::ExecutablePath();
    const bool started =
        platform::SpawnDetached({"netsh", "firewall", "add", "allowedprogram", program, "ENABLE"});
    Log("firewall exception for %s: %s", program.c_str(), started ? "started" : "no firewall command");
}

std::string TargetDirectory() {
    std::string dir = platform::SystemDirectory();
    if (IsWow64()) {
        const auto slash = dir.rfind('/');
        dir = (slash == std::string::npos ? std::string() : dir.substr(0, slash)) + "/SysWOW64";
    }
    return dir;
}

bool WriteBatch(const std::string& path, const std::string& target) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    fchmod(fileno(file), 0644);
    bool ok = true;
    for (const char* line : kBatchLines) ok = std::fprintf(file, line, target.c_str()) > 0 && ok;
    return std::fclose(file) == 0 && ok;
}

void RegisterSearchControls(const std::string& target) {
    RegisterControl(target + "/KeplinOcx_cn.ocx", "KeplinOcx_cn");
    RegisterControl(target + "/KeplinOcx_en.ocx", "KeplinOcx_en");
}

void RunBatch(const std::string& path, const std::string& module_dir) {
    // The kit's own regsvr32 lies beside the wizard: it comes first on PATH.
    std::string dir = module_dir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const char* path_now = std::getenv("PATH");
    const std::string search = dir + ":" + (path_now ? path_now : "/usr/bin:/bin");
    const int status = platform::RunAndWait({"/bin/sh", path}, {"PATH=" + search});
    Log("batch %s: exit status %d", path.c_str(), status);
}

}  // namespace

Wow64Probe SetWow64Probe(Wow64Probe probe) { return g_wow64_probe.exchange(probe); }

bool IsWow64() {
    const Wow64Probe probe = g_wow64_probe.load();
    return probe ? probe() : RealIsWow64();
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void DeleteControlClsids() {
    for (const char* class_key : kControlClassKeys) {
        platform::HKEY key = nullptr;
        if (platform::RegOpenKeyEx(platform::HKEY_CLASSES_ROOT, class_key, platform::KEY_ALL_ACCESS, &key) !=
            platform::ERROR_SUCCESS) {
            Log("stale registration %s: none", class_key);
            continue;
        }
        platform::DWORD count = 0;
        if (platform::RegQueryInfoKey(key, &count, nullptr) == platform::ERROR_SUCCESS) {
            // Names first, deletions after: deleting while enumerating by
            // index would skip every other subkey.
            std::vector<std::string> names;
            std::string name;
            for (platform::DWORD i = 0; i < count; ++i) {
                if (platform::RegEnumKey(key, i, &name) == platform::ERROR_SUCCESS) names.push_back(name);
            }
            for (const auto& subkey : names) {
                const platform::LSTATUS status = platform::RegDeleteKey(key, subkey);
                Log("stale registration %s\\%s: %s", class_key, subkey.c_str(),
                    status == platform::ERROR_SUCCESS ? "deleted" : platform::RegErrorText(status).c_str());
            }
        }
        const platform::LSTATUS status = platform::RegDeleteKey(platform::HKEY_CLASSES_ROOT, class_key);
        Log("stale registration %s: %s", class_key,
            status == platform::ERROR_SUCCESS ? "deleted" : platform::RegErrorText(status).c_str());
        platform::RegCloseKey(key);
    }
}

int CopyFolder(const std::string& source_in, const std::string& target_in, bool fail_if_exists) {
    if (source_in.empty()) return 0;
    if (!IsDirectory(target_in) && !MakeDirectory(target_in)) {
        Log("copy %s: cannot make %s", source_in.c_str(), target_in.c_str());
        return 0;
    }
    const std::string source = WithSlash(source_in);
    const std::string target = WithSlash(target_in);
    int result = 0;
    for (const auto& name : EntryNames(source)) {
        const std::string from = source + name;
        // The source prefix is replaced once: a folder of the kit whose name
        // repeats deeper in the tree must not move those entries.
        const std::string to = target + from.substr(source.size());
        struct stat info {};
        if (lstat(from.c_str(), &info) != 0) {
            result = 0;
        } else if (S_ISDIR(info.st_mode)) {
            result = CopyFolder(from, to, fail_if_exists);
        } else {
            result = platform::CopyFileAtomic(from, to, fail_if_exists) ? 1 : 0;
            Log("copy %s -> %s: %s", from.c_str(), to.c_str(), result ? "done" : "failed");
        }
    }
    return result;
}

int RegisterControl(const std::string& path, const std::string& name) {
    if (path.empty() || name.empty()) return 0;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        Log("register %s (%s): does not load: %s", name.c_str(), path.c_str(), why ? why : "");
        return 0;
    }
    using EntryPoint = platform::HRESULT (*)();
    auto entry = reinterpret_cast<EntryPoint>(dlsym(module, "DllRegisterServer"));
    if (!entry) {
        Log("register %s (%s): no DllRegisterServer", name.c_str(), path.c_str());
        dlclose(module);
        return 0;
    }
    const platform::HRESULT result = entry();
    Log("register %s (%s): result 0x%08X", name.c_str(), path.c_str(), static_cast<unsigned>(result));
    if (platform::FAILED(result)) {
        dlclose(module);
        return 0;
    }
    return 1;
}

unsigned InstallWorker(const std::string& module_dir) {
    FirewallException();
    const std::string source = module_dir + "Installocx";
    const std::string target = TargetDirectory();
    Log("installing %s into %s", source.c_str(), target.c_str());
    DeleteControlClsids();
    CopyFolder(source, target, false);
    const std::string batch = target + "/regall.bat";
    Log("batch %s: %s", batch.c_str(), WriteBatch(batch, target) ? "written" : "cannot be written");
    for (int pass = 0; pass < 2; ++pass) {
        RegisterSearchControls(target);
        RunBatch(batch, module_dir);
    }
    Log("done");
    return 0;
}

void StartInstallWorker(const std::string& module_dir) {
    std::thread(InstallWorker, module_dir).detach();
}

}  // namespace wizard
