// The UDP sockets of the text protocol.
#include "engine/discovery.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// Large enough that a burst of replies (hundreds of cameras answering one
// search at once) waits in the kernel instead of being dropped.
constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;

void enlarge_receive_buffer(int socket) {
    // Not fatal: the default buffer still works for a few dozen cameras.
    // SO_RCVBUFFORCE passes the system limit when we may; else take what is allowed.
    if (setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes, sizeof kReceiveBufferBytes) != 0) {
        setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
    }
}

constexpr int kMaxSendWaitS = 600;

}  // namespace

int open_udp_socket(uint32_t address, uint16_t port) {
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        printf(" 1 Socket create failure\n");
        return -1;
    }
    const int on = 1;
    if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        printf(" 2 SO_REUSEADDR\n");
        close(s);
        return -1;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = address;
    local.sin_port = htons(port);
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        printf(" 3 bind failure\n");
        close(s);
        return -1;
    }
    return s;
}

int join_multicast_group(int socket, const char* group, uint32_t interface_address) {
    ip_mreq request{};
    if (inet_pton(AF_INET, group, &request.imr_multiaddr) != 1) {
        return -1;
    }
    request.imr_interface.s_addr = interface_address;
    return setsockopt(socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
}

int open_multicast_socket(const char* group, uint16_t port) {
    const int s = open_udp_socket(htonl(INADDR_ANY), port);
    if (s < 0) {
        return -1;
    }
    if (join_multicast_group(s, group) < 0) {
        // Not fatal: a socket without membership still receives datagrams sent to its port.
        printf(" 4 IP_ADD_MEMBERSHIP\n");
    }
    const unsigned char loop = 0;
    if (setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0) {
        printf(" 5 SO_BROADCAST\n");
        close(s);
        return -1;
    }
    enlarge_receive_buffer(s);
    return s;
}

int send_with_timeout(int socket, int timeout_s, const void* data, size_t length,
                      const sockaddr_in* destination) {
    if (socket < 0 || data == nullptr || length == 0 || destination == nullptr) {
        return -1;
    }
    // A negative wait would block for ever, a huge one overflow: both are
    // brought into 0 .. 10 minutes.
    const int wait_ms = timeout_s < 0 ? 0 : timeout_s > kMaxSendWaitS ? kMaxSendWaitS * 1000 : timeout_s * 1000;
    const auto* bytes = static_cast<const char*>(data);
    size_t sent = 0;
    while (sent < length) {
        pollfd writable{socket, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&writable, 1, wait_ms);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0 || (writable.revents & POLLOUT) == 0) {
            return -1;
        }
        const ssize_t n = sendto(socket, bytes + sent, length - sent, MSG_NOSIGNAL,
                                 reinterpret_cast<const sockaddr*>(destination), sizeof *destination);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            return -1;
        }
        sent += static_cast<size_t>(n);
    }
    return 0;
}
