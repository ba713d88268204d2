// regsvr32: registers or unregisters a control module by calling its
// DllRegisterServer or DllUnregisterServer entry point.
//
//   regsvr32 [-u] [-s] MODULE      (also /u and /s)
//
// The outcome is reported on standard output unless -s is given. Exit status:
// 0 success, 1 bad arguments, 3 the module does not load, 4 the entry point is
// missing, 5 the entry point failed.
#include <dlfcn.h>
#include <strings.h>

#include <cstdio>
#include <string>

#include "platform/com.h"
#include "platform/registry.h"

namespace {

enum ExitStatus { kSuccess = 0, kBadArguments = 1, kNoLoad = 3, kNoEntry = 4, kEntryFailed = 5 };

struct Arguments {
    bool unregister = false;
    bool silent = false;
    std::string module;
};

bool IsFlag(const char* arg, char letter) {
    return (arg[0] == '-' || arg[0] == '/') && (arg[1] == letter || arg[1] == (letter - 'a' + 'A')) &&
           arg[2] == '\0';
}

bool Parse(int argc, char** argv, Arguments* args) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        // Lines of a batch file written with CR LF end in a lone carriage return.
        if (std::string(arg) == "\r") continue;
        if (IsFlag(arg, 'u')) {
            args->unregister = true;
        } else if (IsFlag(arg, 's')) {
            args->silent = true;
        } else if (arg[0] == '-' || !args->module.empty()) {
            return false;
        } else {
            args->module = arg;
        }
    }
    return !args->module.empty();
}

// A hint about the store when registration failed because of it.
std::string StoreProblem() {
    platform::RegistryTransaction probe;
    if (probe.status() == platform::ERROR_SUCCESS) return std::string();
    return platform::RegErrorText(probe.status());
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!Parse(argc, argv, &args)) {
        std::fprintf(stderr, "Usage: regsvr32 [-u] [-s] MODULE\n"
                             "  -u  unregister the module (calls DllUnregisterServer)\n"
                             "  -s  silent: report nothing\n");
        return kBadArguments;
    }
    const char* entry_name = args.unregister ? "DllUnregisterServer" : "DllRegisterServer";
    // A bare file name means the current folder, not the library search path.
    const std::string path = args.module.find('/') == std::string::npos ? "./" + args.module : args.module;

    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        if (!args.silent) {
            const char* why = dlerror();
            std::printf("The module \"%s\" failed to load.\n%s\n", args.module.c_str(), why ? why : "");
        }
        return kNoLoad;
    }
    using EntryPoint = platform::HRESULT (*)();
    auto entry = reinterpret_cast<EntryPoint>(dlsym(module, entry_name));
    if (!entry) {
        if (!args.silent)
            std::printf("The module \"%s\" was loaded but the entry-point %s was not found.\n", args.module.c_str(),
                        entry_name);
        return kNoEntry;
    }
    const platform::HRESULT result = entry();
    if (platform::FAILED(result)) {
        if (!args.silent) {
            std::printf("The module \"%s\" was loaded but the call to %s failed with error code 0x%08X.\n",
                        args.module.c_str(), entry_name, static_cast<unsigned>(result));
            const std::string problem = StoreProblem();
            if (!problem.empty()) std::printf("Registry: %s.\n", problem.c_str());
        }
        return kEntryFailed;
    }
    if (!args.silent) std::printf("%s in %s succeeded.\n", entry_name, args.module.c_str());
    return kSuccess;
}
