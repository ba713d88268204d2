// Helpers shared by the engine tests that run in an empty network namespace.
#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace keplin::test {

// True when the only interface is the loopback, as in the namespace CTest
// runs these tests in. Tests that add interfaces or send datagrams skip
// themselves elsewhere, so that they never touch a real network.
inline bool in_empty_namespace() {
    struct if_nameindex* names = if_nameindex();
    if (names == nullptr) {
        return false;
    }
    bool only_loopback = true;
    for (auto* n = names; n->if_index != 0; ++n) {
        only_loopback = only_loopback && std::string(n->if_name) == "lo";
    }
    if_freenameindex(names);
    return only_loopback;
}

inline int count_entries(const char* directory) {
    DIR* dir = opendir(directory);
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        count += entry->d_name[0] != '.';
    }
    closedir(dir);
    return count;
}

inline int open_descriptors() { return count_entries("/proc/self/fd"); }
inline int running_threads() { return count_entries("/proc/self/task"); }

inline sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Waits until `done` holds or the deadline passes; returns `done()`.
inline bool eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds deadline = std::chrono::milliseconds(3000)) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A UDP socket on 127.0.0.1 playing the part of a camera.
class FakePeer {
public:
    explicit FakePeer(uint16_t port = 0) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local = loopback(port);
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
        socklen_t length = sizeof local;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length);
        port_ = ntohs(local.sin_port);
        timeval timeout{3, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    ~FakePeer() { close(fd_); }
    FakePeer(const FakePeer&) = delete;
    FakePeer& operator=(const FakePeer&) = delete;

    uint16_t port() const { return port_; }
    void send_to(uint16_t port, const std::string& bytes) const {
        const sockaddr_in to = loopback(port);
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    void reply(const std::string& bytes) const {
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&last_), sizeof last_);
    }
    // The port the last received datagram came from.
    uint16_t last_port() const { return ntohs(last_.sin_port); }
    // Receives one datagram (empty string after the 3 s time-out).
    std::string receive() {
        char buffer[65536];
        socklen_t length = sizeof last_;
        const ssize_t n = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&last_), &length);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
    sockaddr_in last_{};
};

}  // namespace keplin::test
