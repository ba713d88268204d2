// The broadcast protocol: a four-byte search to 255.255.255.255:8600 answered
// by fixed 324-byte records, and set requests answered by a result code.
#include "engine/discovery.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <system_error>
#include <string>
#include <thread>
#include <vector>

namespace {

// Long enough that the replies arriving during the 2.5 s a search collects are
// read by the same thread.
constexpr int kReceiveTimeoutMs = 3000;
// At most this many replies are still read from a search's socket once a
// newer search has replaced it.
constexpr int kMaxDrained = 4096;
constexpr size_t kDatagramBuffer = 1024;
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

timeval to_timeval(std::chrono::microseconds wait) {
    return timeval{static_cast<time_t>(wait.count() / 1000000), static_cast<suseconds_t>(wait.count() % 1000000)};
}

int open_probe_socket(int timeout_ms) {
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return -1;
    }
    const int on = 1;
    const timeval timeout = to_timeval(std::chrono::milliseconds(timeout_ms));
    if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
        close(s);
        return -1;
    }
    // Not fatal: a larger buffer only keeps a burst of hundreds of replies.
    if (setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes, sizeof kReceiveBufferBytes) != 0) {
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
    }
    return s;
}

// Sends `data` to `destination` once through every local adapter, each
// datagram with that adapter's address as its source: a limited broadcast
// otherwise leaves only by the default route, and cameras behind a second
// adapter would never hear it. All from one socket, so that the answers to
// every copy reach it. True when at least one copy went out. Without any
// known adapter address, or to a single address, the system chooses the way.
bool send_through_every_adapter(int s, const void* data, size_t length, const sockaddr_in& destination) {
    const std::vector<std::string> addresses = destination.sin_addr.s_addr == htonl(INADDR_BROADCAST)
                                                   ? discovery_local_addresses()
                                                   : std::vector<std::string>();
    bool sent = false;
    bool tried = false;
    for (const std::string& text : addresses) {
        in_addr source{};
        if (inet_pton(AF_INET, text.c_str(), &source) != 1 || source.s_addr == htonl(INADDR_ANY)) {
            continue;
        }
        tried = true;
        iovec part{const_cast<void*>(data), length};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        msghdr message{};
        message.msg_name = const_cast<sockaddr_in*>(&destination);
        message.msg_namelen = sizeof destination;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst = source;
        memcpy(CMSG_DATA(header), &info, sizeof info);
        // Not fatal: an adapter that cannot send leaves the others.
        sent = sendmsg(s, &message, MSG_NOSIGNAL) == static_cast<ssize_t>(length) || sent;
    }
    if (!tried) {
        sent = sendto(s, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&destination),
                      sizeof destination) == static_cast<ssize_t>(length);
    }
    return sent;
}

uint32_t read_le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

uint16_t broadcast_http_port(const BroadcastRecord& record) {
    return static_cast<uint16_t>(record.http_port[0] | record.http_port[1] << 8);
}

void set_broadcast_http_port(BroadcastRecord& record, uint16_t port) {
    record.http_port[0] = static_cast<uint8_t>(port & 0xFF);
    record.http_port[1] = static_cast<uint8_t>(port >> 8);
}

BroadcastRecord broadcast_record_from_reply(const uint8_t* reply) {
    BroadcastRecord record;
    memcpy(&record, reply, sizeof record);
    return record;
}

void copy_text_field(char* field, size_t size, const char* text) {
    memset(field, 0, size);
    if (text != nullptr && size > 0) {
        memcpy(field, text, std::min(strlen(text), size - 1));
    }
}

struct CBroadcastProbe::State {
    std::mutex lock;  // guards everything below but the thread object's use in Search/Stop
    BroadcastCallback callback = nullptr;
    void* data = nullptr;
    sockaddr_in destination{};
    int timeout_ms = kReceiveTimeoutMs;
    int current_socket = -1;  // the socket the receive thread reads
    int pending_socket = -1;  // a newer search's socket, adopted at the next receive
    bool running = false;     // a receive thread runs (one per probe)
    bool stopping = false;
    bool stop_from_callback = false;  // the stop was asked on the receive thread itself
    bool repeated = false;            // a request was sent again since the last time-out
    std::thread thread;
    // Held around each callback call, so that StopReceiving can wait it out.
    std::mutex callback_lock;
    std::atomic<ReceiveSeam> seam{nullptr};
    std::atomic<void*> seam_data{nullptr};

    void at(ReceiveStep step, long result) {
        if (ReceiveSeam hook = seam.load()) {
            hook(step, result, seam_data.load());
        }
    }
    // Hands one reply to the callback. False when a stop was asked meanwhile.
    bool deliver(const uint8_t* buffer);
    // Closes both sockets and marks the thread ended. Under `lock`.
    void end_locked();
};

bool CBroadcastProbe::State::deliver(const uint8_t* buffer) {
    uint8_t reply[BROADCAST_REPLY_SIZE];
    memcpy(reply, buffer, sizeof reply);
    std::lock_guard<std::mutex> calling(callback_lock);
    BroadcastCallback call;
    void* call_data;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (stopping) {
            return false;
        }
        call = callback;
        call_data = data;
    }
    if (call == nullptr) {
        return true;
    }
    try {
        call(reply, call_data);
    } catch (...) {
        std::lock_guard<std::mutex> hold(lock);
        if (callback == call) {
            callback = nullptr;  // a throwing callback is forgotten
        }
    }
    return true;
}

void CBroadcastProbe::State::end_locked() {
    if (current_socket >= 0) {
        close(current_socket);
        current_socket = -1;
    }
    if (pending_socket >= 0) {
        close(pending_socket);
        pending_socket = -1;
    }
    repeated = false;
    running = false;
}

CBroadcastProbe::CBroadcastProbe() : m_state(new State) {
    m_state->destination.sin_family = AF_INET;
    m_state->destination.sin_port = htons(BROADCAST_PORT);
    m_state->destination.sin_addr.s_addr = htonl(INADDR_BROADCAST);
}

CBroadcastProbe::~CBroadcastProbe() {
    StopReceiving();
    delete m_state;
}

void CBroadcastProbe::SetDestination(const sockaddr_in& destination) {
    std::lock_guard<std::mutex> hold(m_state->lock);
    m_state->destination = destination;
}

bool CBroadcastProbe::IsReceiving() const {
    std::lock_guard<std::mutex> hold(m_state->lock);
    return m_state->running;
}

void CBroadcastProbe::SetReceiveSeam(ReceiveSeam seam, void* data) {
    m_state->seam_data.store(data);
    m_state->seam.store(seam);
}

void CBroadcastProbe::SetReceiveTimeout(int milliseconds) {
    std::lock_guard<std::mutex> hold(m_state->lock);
    m_state->timeout_ms = std::clamp(milliseconds, 1, kReceiveTimeoutMs);
}

void CBroadcastProbe::SetCallback(BroadcastCallback callback, void* data) {
    if (callback == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> hold(m_state->lock);
    m_state->callback = callback;
    m_state->data = data;
}

int CBroadcastProbe::Search() {
    State& st = *m_state;
    sockaddr_in destination;
    int timeout_ms;
    {
        std::lock_guard<std::mutex> hold(st.lock);
        if (st.callback == nullptr) {
            return 0;
        }
        destination = st.destination;
        timeout_ms = st.timeout_ms;
    }
    const int s = open_probe_socket(timeout_ms);
    if (s < 0) {
        return 0;
    }
    static const uint8_t kRequest[4] = {0x44, 0x48, 0x01, 0x01};
    if (!send_through_every_adapter(s, kRequest, sizeof kRequest, destination)) {
        close(s);
        return 0;
    }
    std::unique_lock<std::mutex> hold(st.lock);
    if (st.running && st.stopping) {
        if (st.thread.get_id() != std::this_thread::get_id()) {
            // A stop asked from the callback is ending the thread: a new one
            // reads this search once it has gone.
            hold.unlock();
            st.thread.join();
            hold.lock();
        } else if (!st.stop_from_callback) {
            close(s);  // the callback searches while its owner stops the probe
            return 0;
        }
    }
    if (st.running) {
        // The running thread moves to the new socket once it has read what
        // the old one holds; the old one is shut down to wake it and closed
        // by the thread. From the callback, after a stop it asked for, the
        // search takes the thread back.
        st.stopping = false;
        if (st.pending_socket >= 0) {
            close(st.pending_socket);
        }
        st.pending_socket = s;
        shutdown(st.current_socket, SHUT_RDWR);
        return 1;
    }
    if (st.thread.joinable()) {
        st.thread.join();  // it has ended: it cleared `running` on its way out
    }
    st.current_socket = s;
    st.running = true;
    st.stopping = false;  // a stop asked from the callback ended the old thread only
    try {
        st.thread = std::thread(&CBroadcastProbe::ReceiveLoop, this);
    } catch (const std::system_error&) {
        st.running = false;
        st.current_socket = -1;
        close(s);
        return 0;
    }
    return 1;
}

int CBroadcastProbe::SearchAgain() {
    State& st = *m_state;
    sockaddr_in destination;
    int s = -1;
    {
        std::lock_guard<std::mutex> hold(st.lock);
        if (st.running && !st.stopping && st.callback != nullptr) {
            // A copy of the descriptor stays valid even if the thread closes
            // its own meanwhile; `repeated` keeps the thread past its next
            // time-out so that the answers are read.
            const int reading = st.pending_socket >= 0 ? st.pending_socket : st.current_socket;
            s = reading >= 0 ? fcntl(reading, F_DUPFD_CLOEXEC, 0) : -1;
            if (s >= 0) {
                st.repeated = true;
            }
        }
        destination = st.destination;
    }
    if (s < 0) {
        return Search();
    }
    static const uint8_t kRequest[4] = {0x44, 0x48, 0x01, 0x01};
    const bool sent = send_through_every_adapter(s, kRequest, sizeof kRequest, destination);
    close(s);
    return sent ? 1 : 0;
}

void CBroadcastProbe::ReceiveLoop() {
    State& st = *m_state;
    uint8_t buffer[kDatagramBuffer];
    // After a newer search, what the old socket already holds is read without
    // waiting before the thread moves on: those are replies too.
    bool draining = false;
    int drained = 0;
    for (;;) {
        int s;
        {
            std::lock_guard<std::mutex> hold(st.lock);
            if (st.stopping) {
                break;
            }
            if (st.pending_socket >= 0 && !draining) {
                close(st.current_socket);
                st.current_socket = st.pending_socket;
                st.pending_socket = -1;
                drained = 0;
            }
            s = st.current_socket;
        }
        memset(buffer, 0, sizeof buffer);
        sockaddr_in from{};
        socklen_t from_length = sizeof from;
        const ssize_t received = recvfrom(s, buffer, sizeof buffer, draining ? MSG_DONTWAIT : 0,
                                          reinterpret_cast<sockaddr*>(&from), &from_length);
        const int error = errno;
        st.at(ReceiveStep::Received, static_cast<long>(received));
        // The wake of a shut-down socket also reads 0 bytes, but from nobody;
        // an empty datagram has a sender.
        if (received > 0 || (received == 0 && from_length > 0)) {
            if (!st.deliver(buffer)) {
                break;
            }
            std::lock_guard<std::mutex> hold(st.lock);
            draining = st.pending_socket >= 0 && ++drained < kMaxDrained;
            continue;
        }
        draining = false;
        if (received < 0 && error == EINTR) {
            continue;
        }
        {
            std::lock_guard<std::mutex> hold(st.lock);
            if (st.stopping) {
                break;
            }
            if (st.pending_socket >= 0) {
                continue;  // woken for a newer search: read its socket instead
            }
        }
        // Timed out, or the socket failed: the thread ends, unless a search
        // came in meanwhile. That check and the end are one step under the
        // lock, so a search either sees the thread gone or is read by it.
        st.at(ReceiveStep::Ending, static_cast<long>(received));
        std::lock_guard<std::mutex> hold(st.lock);
        if (!st.stopping && (st.pending_socket >= 0 || st.repeated)) {
            st.repeated = false;
            continue;
        }
        st.end_locked();
        return;
    }
    std::lock_guard<std::mutex> hold(st.lock);
    st.end_locked();
}

void CBroadcastProbe::StopReceiving() {
    State& st = *m_state;
    {
        std::lock_guard<std::mutex> hold(st.lock);
        st.stopping = true;
        st.stop_from_callback = st.thread.get_id() == std::this_thread::get_id();
        if (st.running && st.current_socket >= 0) {
            shutdown(st.current_socket, SHUT_RDWR);
        }
    }
    if (st.thread.joinable() && st.thread.get_id() != std::this_thread::get_id()) {
        st.thread.join();
    }
    std::lock_guard<std::mutex> hold(st.lock);
    if (!st.running) {
        st.stopping = false;  // a later search starts a new thread
    }
}

int CBroadcastProbe::SetDevice(const BroadcastRecord& record, BroadcastResultFilter accept) {
    BroadcastRecord request = record;
    request.magic[0] = 0x44;
    request.magic[1] = 0x48;
    request.type[0] = 0x02;
    request.type[1] = 0x01;
    sockaddr_in destination;
    int timeout_ms;
    {
        std::lock_guard<std::mutex> hold(m_state->lock);
        destination = m_state->destination;
        timeout_ms = m_state->timeout_ms;
    }
    const int s = open_probe_socket(timeout_ms);
    if (s < 0) {
        return 0;
    }
    int result = 0;
    if (send_through_every_adapter(s, &request, sizeof request, destination)) {
        // Non-final answers are skipped, but never past one receive time-out in
        // all: a camera repeating them must not hang the caller.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        uint8_t buffer[kDatagramBuffer];
        for (;;) {
            // Each receive waits only for what is left of the deadline.
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            const timeval wait = to_timeval(left);
            setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            const ssize_t received = recv(s, buffer, sizeof buffer, 0);
            if (received < static_cast<ssize_t>(BROADCAST_RESULT_SIZE)) {
                break;  // time-out, or a result too short to hold a code
            }
            if (accept != nullptr && !accept(request, buffer, static_cast<size_t>(received))) {
                continue;
            }
            const uint32_t code = read_le32(buffer + BROADCAST_RECORD_SIZE);
            if (code == BROADCAST_ACCEPTED) {
                result = 1;
                break;
            }
            if (code == BROADCAST_REFUSED) {
                result = -1;
                break;
            }
            if (code == BROADCAST_REFUSED_OTHER) {
                result = -2;
                break;
            }
        }
    }
    close(s);
    return result;
}
