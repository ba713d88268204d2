// Inside the lab: one search, answered by many simulated cameras at once.
// Prints how many distinct cameras reached the handlers and when the last one
// arrived, measured from the search. For the text protocol it also prints how
// long each camera's first reply waited between its arrival (the kernel's
// receive time stamp on a socket of our own that hears the same multicast)
// and the device handler.
//
//   lab_search_bench [--text N] [--broadcast N] [--wait MS]
//   lab_search_bench --command WAIT_MS EXPECTED -- PROGRAM ARGS...
//       runs PROGRAM (e.g. `keplin search --format json`), and prints its wall
//       time, CPU time, the number of devices in its JSON output and its peak
//       memory; with KEPLIN_BENCH_OUTPUT=FILE its output is kept in FILE.
#include "engine/discovery.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double realtime_ms() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Tally {
    std::mutex lock;
    Clock::time_point start;
    std::map<std::string, double> text_handled_ms;  // MAC -> wall clock of the first handler call
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
        tally->text_handled_ms.emplace(record->mac, realtime_ms());
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

// Hears the text-protocol replies beside the engine (both sockets share port
// 8002 through SO_REUSEADDR, and the kernel gives each a copy) and notes the
// kernel's arrival time of each camera's first reply.
class ArrivalSniffer {
public:
    bool open(uint16_t port) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) return false;
        int on = 1;
        int buffer = 64 << 20;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0) {
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        }
        setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        ip_mreq group{};
        inet_pton(AF_INET, "239.255.255.250", &group.imr_multiaddr);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0) {
            return false;
        }
        thread_ = std::thread([this] { run(); });
        return true;
    }
    ~ArrivalSniffer() {
        stop();
        if (fd_ >= 0) close(fd_);
    }
    // MAC -> wall clock of the kernel's arrival time; call after the thread stopped.
    std::map<std::string, double> stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return arrived_;
    }

private:
    void run() {
        std::vector<char> data(65536);
        char control[256];
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            iovec io{data.data(), data.size()};
            msghdr msg{};
            msg.msg_iov = &io;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            const ssize_t n = recvmsg(fd_, &msg, MSG_DONTWAIT);
            if (n <= 0) continue;
            double at = realtime_ms();
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec ts{};
                    memcpy(&ts, CMSG_DATA(c), sizeof ts);
                    at = ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
                }
            }
            const std::string text(data.data(), static_cast<size_t>(n));
            const size_t key = text.find("\r\nMAC=");
            if (key == std::string::npos) continue;
            const size_t begin = key + 6;
            const size_t end = text.find("\r\n", begin);
            if (end != std::string::npos) arrived_.emplace(text.substr(begin, end - begin), at);
        }
    }

    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::map<std::string, double> arrived_;
};

// Delay from arrival to handler, in ms, per camera seen by both.
void print_handler_delays(const std::map<std::string, double>& arrived, const std::map<std::string, double>& handled) {
    std::vector<double> delays;
    for (const auto& [mac, at] : handled) {
        const auto found = arrived.find(mac);
        if (found != arrived.end()) delays.push_back(std::max(0.0, at - found->second));
    }
    if (delays.empty()) {
        printf("text protocol: no arrival times to compare with\n");
        return;
    }
    std::sort(delays.begin(), delays.end());
    const double p99 = delays[std::min(delays.size() - 1, delays.size() * 99 / 100)];
    const long over = std::count_if(delays.begin(), delays.end(), [](double d) { return d > 100.0; });
    printf("text protocol: arrival to device handler for %zu cameras: median %.1f ms, 99th percentile %.1f ms, "
           "max %.1f ms; %ld over 100 ms\n",
           delays.size(), delays[delays.size() / 2], p99, delays.back(), over);
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
    ArrivalSniffer sniffer;
    const bool sniffing = text_expected > 0 && sniffer.open(8002);
    tally.start = Clock::now();
    if (text_expected > 0) {
        finder.Search('M');
    }
    if (broadcast_expected > 0) {
        finder.Search('L');
    }
    usleep(static_cast<useconds_t>(wait_ms) * 1000);
    finder.Stop();
    const std::map<std::string, double> arrived = sniffer.stop();
    std::lock_guard<std::mutex> hold(tally.lock);
    if (text_expected > 0) {
        printf("text protocol: %zu of %d cameras reached the device handler (%ld calls), last after %.0f ms\n",
               tally.text_cameras.size(), text_expected, tally.text_calls, tally.last_text_ms);
        if (sniffing) {
            print_handler_delays(arrived, tally.text_handled_ms);
        }
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
    if (const char* keep = getenv("KEPLIN_BENCH_OUTPUT")) {
        if (FILE* file = fopen(keep, "w")) {
            fwrite(output.data(), 1, output.size(), file);
            fclose(file);
        }
    }
    size_t listed = 0;
    for (size_t at = output.find("\"kind\""); at != std::string::npos; at = output.find("\"kind\"", at + 1)) {
        ++listed;
    }
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const double cpu_s = children.ru_utime.tv_sec + children.ru_stime.tv_sec +
                         (children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e6;
    printf("%s: %zu of %d cameras listed; exit %d; %.0f ms in all (collecting for %d ms); CPU %.2f s; "
           "peak memory %ld KiB\n",
           argv[0], listed, expected, WIFEXITED(status) ? WEXITSTATUS(status) : -1, elapsed, wait_ms, cpu_s,
           children.ru_maxrss);
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
