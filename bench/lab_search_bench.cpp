// Inside the lab: one search, answered by many simulated cameras at once.
// Prints how many distinct cameras reached the handlers and when the last one
// arrived, measured from the search.
//
//   lab_search_bench [--text N] [--broadcast N] [--wait MS]
//   lab_search_bench --command WAIT_MS EXPECTED -- PROGRAM ARGS...
//       runs PROGRAM (e.g. `keplin search --format json`), and prints its wall
//       time, the number of devices in its JSON output and its peak memory.
#include "engine/discovery.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Tally {
    std::mutex lock;
    Clock::time_point start;
    std::set<std::string> text_cameras;
    std::set<std::string> broadcast_cameras;
    double last_text_ms = 0;
    double last_broadcast_ms = 0;
    long text_calls = 0;
};

double since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int on_device(DiscoveryContext*, const char*, const DeviceRecord* record, void* data) {
    auto* tally = static_cast<Tally*>(data);
    std::lock_guard<std::mutex> hold(tally->lock);
    ++tally->text_calls;
    if (tally->text_cameras.insert(record->mac).second) {
        tally->last_text_ms = since(tally->start);
    }
    return 0;
}

int on_result(DiscoveryContext*, const char*, const void*, void*) {
    return 0;
}

void on_broadcast(const uint8_t* reply, void* data) {
    auto* tally = static_cast<Tally*>(data);
    const BroadcastRecord record = broadcast_record_from_reply(reply);
    std::lock_guard<std::mutex> hold(tally->lock);
    if (tally->broadcast_cameras.insert(std::string(record.ip, strnlen(record.ip, sizeof record.ip))).second) {
        tally->last_broadcast_ms = since(tally->start);
    }
}

long peak_kib(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

int run_engine(int text_expected, int broadcast_expected, int wait_ms) {
    int count = 0;
    const std::string addresses = list_adapter_addresses(&count);
    std::vector<std::string> pieces;
    split_text(addresses, pieces, ',');
    std::vector<std::array<char, LOCAL_ADDRESS_ENTRY>> entries(pieces.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        copy_text_field(entries[i].data(), LOCAL_ADDRESS_ENTRY, pieces[i].c_str());
    }
    Tally tally;
    CDeviceFinder finder;
    if (finder.Start(on_device, on_result, &tally,
                     reinterpret_cast<const char(*)[LOCAL_ADDRESS_ENTRY]>(entries.data()),
                     static_cast<int>(entries.size())) != 0) {
        fprintf(stderr, "lab_search_bench: the finder could not start\n");
        return 1;
    }
    finder.SetBroadcastCallback(on_broadcast, &tally);
    tally.start = Clock::now();
    if (text_expected > 0) {
        finder.Search('M');
    }
    if (broadcast_expected > 0) {
        finder.Search('L');
    }
    usleep(static_cast<useconds_t>(wait_ms) * 1000);
    finder.Stop();
    std::lock_guard<std::mutex> hold(tally.lock);
    if (text_expected > 0) {
        printf("text protocol: %zu of %d cameras reached the device handler (%ld calls), last after %.0f ms\n",
               tally.text_cameras.size(), text_expected, tally.text_calls, tally.last_text_ms);
    }
    if (broadcast_expected > 0) {
        printf("broadcast protocol: %zu of %d cameras reached the callback, last after %.0f ms\n",
               tally.broadcast_cameras.size(), broadcast_expected, tally.last_broadcast_ms);
    }
    printf("peak memory: %ld KiB\n", peak_kib(RUSAGE_SELF));
    const bool all = static_cast<int>(tally.text_cameras.size()) == text_expected &&
                     static_cast<int>(tally.broadcast_cameras.size()) == broadcast_expected;
    return all ? 0 : 3;
}

int run_command(int wait_ms, int expected, char** argv) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
        return 1;
    }
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe_fds[1], STDOUT_FILENO);
        close(pipe_fds[0]);
        execv(argv[0], argv);
        _exit(127);
    }
    close(pipe_fds[1]);
    std::string output;
    char buffer[65536];
    ssize_t n;
    while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
        output.append(buffer, static_cast<size_t>(n));
    }
    close(pipe_fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    const double elapsed = since(start);
    size_t listed = 0;
    for (size_t at = output.find("\"kind\""); at != std::string::npos; at = output.find("\"kind\"", at + 1)) {
        ++listed;
    }
    printf("%s: %zu of %d cameras listed; exit %d; %.0f ms in all (collecting for %d ms); peak memory %ld KiB\n",
           argv[0], listed, expected, WIFEXITED(status) ? WEXITSTATUS(status) : -1, elapsed, wait_ms,
           peak_kib(RUSAGE_CHILDREN));
    return static_cast<int>(listed) == expected ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (getenv("KEPLIN_LAB") == nullptr) {
        fprintf(stderr, "lab_search_bench sends discovery traffic: run it inside the lab (bench/run.sh)\n");
        return 2;
    }
    int text = 500;
    int broadcast = 0;
    int wait_ms = 2500;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--command" && i + 3 < argc && std::string(argv[i + 3]) == "--") {
            return run_command(atoi(argv[i + 1]), atoi(argv[i + 2]), argv + i + 4);
        }
        if (i + 1 >= argc) {
            break;
        }
        if (arg == "--text") {
            text = atoi(argv[++i]);
        } else if (arg == "--broadcast") {
            broadcast = atoi(argv[++i]);
        } else if (arg == "--wait") {
            wait_ms = atoi(argv[++i]);
        }
    }
    return run_engine(text, broadcast, wait_ms);
}
