#include "platform/shell.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <thread>
#include <utility>

extern char** environ;

namespace platform {
namespace {

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

// Pointers into `texts`, ending with a null pointer, as exec wants them.
std::vector<char*> PointerVector(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (const auto& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// This process's environment with `overrides` ("NAME=value") put in.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides) {
    std::vector<std::string> merged;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const auto& override : overrides)
            replaced = replaced || override.compare(0, name.size(), name) == 0;
        if (!replaced) merged.push_back(text);
    }
    merged.insert(merged.end(), overrides.begin(), overrides.end());
    return merged;
}

bool Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment, pid_t* pid) {
    if (argv.empty() || argv[0].empty()) return false;
    std::vector<char*> args = PointerVector(argv);
    const std::vector<std::string> merged = MergedEnvironment(environment);
    std::vector<char*> env = PointerVector(merged);
    return posix_spawnp(pid, args[0], nullptr, nullptr, args.data(), env.data()) == 0;
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

int RunAndWait(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    pid_t pid = 0;
    if (!Spawn(argv, environment, &pid)) return -1;
    return Wait(pid);
}

CapturedOutput RunAndCapture(const std::vector<std::string>& argv) {
    CapturedOutput result;
    int out_pipe[2], err_pipe[2];
    if (argv.empty() || argv[0].empty() || pipe2(out_pipe, O_CLOEXEC) != 0) return result;
    if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        close(out_pipe[0]);
        close(out_pipe[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args = PointerVector(argv);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (spawned != 0) {
        close(out_pipe[0]);
        close(err_pipe[0]);
        return result;
    }
    result.started = true;
    // Both pipes are read together, so that neither fills while the other is read.
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open_pipes = 2;
    std::vector<char> buffer(1 << 16);
    while (open_pipes > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0) continue;
            const ssize_t n = read(fds[k].fd, buffer.data(), buffer.size());
            if (n > 0) {
                sinks[k]->append(buffer.data(), static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[k].fd);
                fds[k].fd = -1;
                --open_pipes;
            }
        }
    }
    for (pollfd& p : fds)
        if (p.fd >= 0) close(p.fd);
    result.status = Wait(pid);
    return result;
}

bool SpawnDetached(const std::vector<std::string>& argv) {
    pid_t pid = 0;
    if (!Spawn(argv, {}, &pid)) return false;
    // Not waited for by the caller, but never left as a zombie.
    std::thread([pid] { Wait(pid); }).detach();
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

std::string ExecutablePath() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n <= 0 ? std::string() : std::string(path, static_cast<size_t>(n));
}

std::string ExecutableDirectory() {
    const std::string path = ExecutablePath();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string SystemDirectory() {
    std::string dir;
    if (const char* named = std::getenv("KEPLIN_SYSTEM_DIR"); named && *named) {
        dir = named;
    } else if (geteuid() == 0) {
        dir = "/usr/local/lib/keplin/system32";
    } else if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        dir = std::string(data) + "/keplin/system32";
    } else {
        const char* home = std::getenv("HOME");
        dir = std::string(home && *home ? home : "/tmp") + "/.local/share/keplin/system32";
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

}  // namespace platform
