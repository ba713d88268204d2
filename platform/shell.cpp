#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <thread>
#include <utility>

extern char** environ;

namespace platform {
namespace {

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

}  // namespace

bool SpawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return false;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
    // Not waited for by the caller, but never left as a zombie.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

bool OpenUrl(const std::string& url) {
    if (url.empty() || url[0] == '-') return false;
    if (Opener()) return Opener()(url);
    return SpawnDetached({"xdg-open", url});
}

UrlOpener SetUrlOpener(UrlOpener opener) {
    return std::exchange(Opener(), std::move(opener));
}

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::string();
    std::string text(path, static_cast<size_t>(n));
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

}  // namespace platform
