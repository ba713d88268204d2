// The discovery context: open, search, the receive and dispatch threads, close.
#include "engine/context_internal.h"
#include "engine/protocol.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

namespace {

constexpr auto kDispatchPeriod = std::chrono::milliseconds(100);

void receive_loop(DiscoveryContext* context) {
    char buffer[RECEIVE_BUFFER_SIZE];
    while (!context->stop.load()) {
        memset(buffer, 0, sizeof buffer);
        const ssize_t received = recv(context->receive_socket, buffer, sizeof buffer, 0);
        if (received <= 0) {
            // Errors on receive are not reported. discovery_close shuts the
            // socket down, which wakes this receive with 0; the stop flag it
            // set before then ends the loop.
            if (received < 0 && errno != EINTR && errno != EAGAIN) {
                // Avoid spinning on a socket that keeps failing.
                pollfd wait{context->receive_socket, POLLIN, 0};
                poll(&wait, 1, 10);
            }
            continue;
        }
        // A datagram of RECEIVE_BUFFER_SIZE bytes or more fills the buffer with
        // no NUL; its text is taken to end there.
        const int length = static_cast<int>(strnlen(buffer, static_cast<size_t>(received)));
        if (!keplin::protocol::client_id_matches(buffer, length, context->client_id)) {
            continue;
        }
        std::atomic<QueuedMessage*>& slot = context->queue[context->queue_write];
        if (slot.load(std::memory_order_acquire) != nullptr) {
            // The queue is full: have the dispatch thread drain it now, and
            // wait for the slot. Datagrams arriving meanwhile wait in the
            // socket's receive buffer, so none is lost to the queue.
            std::unique_lock<std::mutex> hold(context->wake_lock);
            context->drain_now = true;
            context->wake.notify_all();
            context->space.wait(hold, [context, &slot] {
                return context->stop.load() || slot.load(std::memory_order_acquire) == nullptr;
            });
            if (context->stop.load()) {
                break;
            }
        }
        auto* message = new (std::nothrow) QueuedMessage;
        if (message == nullptr) {
            continue;  // memory exhausted: the datagram is lost
        }
        memcpy(message->text, buffer, static_cast<size_t>(length));
        message->length = length;
        message->ready = 1;
        slot.store(message, std::memory_order_release);
        context->queue_write = (context->queue_write + 1) % QUEUE_SLOTS;
    }
}

void dispatch_loop(DiscoveryContext* context) {
    while (!context->stop.load()) {
        // In the order of arrival: the receive thread fills the slots in ring
        // order and publishes each one complete.
        bool freed = false;
        for (int taken = 0; taken < QUEUE_SLOTS && !context->stop.load(); ++taken) {
            std::atomic<QueuedMessage*>& slot = context->queue[context->queue_read];
            QueuedMessage* message = slot.load(std::memory_order_acquire);
            if (message == nullptr) {
                break;
            }
            dispatch_message(context, message->text, message->length);
            delete message;
            slot.store(nullptr, std::memory_order_release);
            context->queue_read = (context->queue_read + 1) % QUEUE_SLOTS;
            freed = true;
        }
        std::unique_lock<std::mutex> hold(context->wake_lock);
        if (freed) {
            context->space.notify_all();
        }
        context->wake.wait_for(hold, kDispatchPeriod,
                               [context] { return context->stop.load() || context->drain_now; });
        context->drain_now = false;
    }
}

void make_send_sockets(DiscoveryContext* context, const std::vector<std::string>& addresses) {
    int filled = 0;
    for (const std::string& text : addresses) {
        in_addr address{};
        if (inet_pton(AF_INET, text.c_str(), &address) != 1) {
            printf("<Keplin>create socket error.\n");
            continue;
        }
        const int s = open_udp_socket(address.s_addr, context->port);
        if (s < 0) {
            printf("<Keplin>create socket error.\n");
            continue;
        }
        // Binding does not choose the outgoing interface of a multicast
        // datagram here, so name it: each request leaves through its adapter.
        // Not fatal: without it the request takes the default multicast route.
        setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &address, sizeof address);
        // Our own requests are not for us (this is a property of the sending
        // socket here, not of the receiving one).
        const unsigned char loop = 0;
        setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
        context->send_sockets[filled++] = s;
        // The answers come back to the group through this adapter: the
        // receive socket must be a member there too, not only on the adapter
        // the system picked when it was opened. Not fatal.
        if (join_multicast_group(context->receive_socket, context->group, address.s_addr) < 0 &&
            errno != EADDRINUSE) {
            printf(" 4 IP_ADD_MEMBERSHIP\n");
        }
    }
    context->send_sockets_made = true;
}

void shut_and_close(int& socket) {
    if (socket >= 0) {
        shutdown(socket, SHUT_RDWR);  // wakes a blocked receive (close alone does not)
        close(socket);
        socket = -1;
    }
}

}  // namespace

void dispatch_message(DiscoveryContext* context, const char* text, int length) {
    const char* status = nullptr;
    if (keplin::protocol::classify(text, length, &status) == keplin::protocol::MessageKind::CommandResult) {
        int32_t sequence = 0;
        if (extract_field(text, length, "CSeq:", 0, &sequence) != 0) {
            return;
        }
        const auto number = static_cast<uint32_t>(sequence);  // written with %d, so it may read negative
        bool matched = false;
        if (number != 0) {
            std::lock_guard<std::mutex> hold(context->pending_lock);
            for (uint32_t& entry : context->pending) {
                if (entry == number) {
                    entry = 0;
                    matched = true;
                    break;
                }
            }
        }
        ResultHandler handler = context->result_handler.load(std::memory_order_acquire);
        if (matched && handler != nullptr) {
            handler(context, status, nullptr, context->result_data.load(std::memory_order_relaxed));
        }
        return;
    }
    DeviceRecord record;
    if (!keplin::protocol::read_device_record(text, length, &record)) {
        return;
    }
    DeviceHandler handler = context->device_handler.load(std::memory_order_acquire);
    if (handler != nullptr) {
        handler(context, "200", &record, context->device_data.load(std::memory_order_relaxed));
    }
}

int send_to_group(DiscoveryContext* context, const char* message, int length) {
    int sent = 0;
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(context->port);
    inet_pton(AF_INET, context->group, &destination.sin_addr);
    for (int s : context->send_sockets) {
        if (s >= 0) {
            // A failed send is skipped: the other adapters may still reach cameras.
            if (send_with_timeout(s, context->send_timeout_s, message, static_cast<size_t>(length),
                                  &destination) == 0) {
                ++sent;
            }
        }
    }
    return sent;
}

int32_t discovery_open(const char* group, uint16_t port, int32_t send_timeout_s, DiscoveryContext** place) {
    if (group == nullptr || place == nullptr || strlen(group) >= sizeof DiscoveryContext::group) {
        return DISC_E_INVALID;
    }
    const int receive_socket = open_multicast_socket(group, port);
    if (receive_socket < 0) {
        printf("<Keplin>create socket error.\n");
        return DISC_E_SOCKET;
    }
    auto* context = new (std::nothrow) DiscoveryContext;
    if (context == nullptr) {
        printf("<Keplin>malloc error.\n");
        close(receive_socket);
        return DISC_E_NO_MEMORY;
    }
    strcpy(context->group, group);
    context->port = port;
    context->send_timeout_s = send_timeout_s;
    context->receive_socket = receive_socket;
    for (int& s : context->send_sockets) {
        s = -1;
    }
    make_client_id(context->client_id, 32);

    try {
        context->receive_thread = std::thread(receive_loop, context);
    } catch (const std::system_error&) {
        close(context->receive_socket);
        delete context;
        return DISC_E_THREAD;
    }
    try {
        context->dispatch_thread = std::thread(dispatch_loop, context);
    } catch (const std::system_error&) {
        context->stop = true;
        shutdown(context->receive_socket, SHUT_RDWR);
        context->receive_thread.join();
        close(context->receive_socket);
        delete context;
        return DISC_E_THREAD;
    }
    *place = context;
    return DISC_OK;
}

bool discovery_on_dispatch_thread(const DiscoveryContext* context) {
    return context != nullptr && std::this_thread::get_id() == context->dispatch_thread.get_id();
}

int32_t discovery_close(DiscoveryContext* context) {
    if (context == nullptr) {
        return DISC_E_INVALID;
    }
    if (context->client_id[0] == '\0') {
        return DISC_E_NOT_READY;
    }
    // Closing from a handler would wait for the very thread that runs it.
    assert(std::this_thread::get_id() != context->dispatch_thread.get_id());
    if (std::this_thread::get_id() == context->dispatch_thread.get_id()) {
        return DISC_E_INVALID;
    }
    for (int& s : context->send_sockets) {
        if (s >= 0) {
            close(s);
            s = -1;
        }
    }
    context->stop = true;
    {
        std::lock_guard<std::mutex> hold(context->wake_lock);
        context->wake.notify_all();
        context->space.notify_all();
    }
    // Shut the receive socket down to wake the receive, and close it only once
    // the thread has ended, so that its number cannot be reused under it.
    shutdown(context->receive_socket, SHUT_RDWR);
    context->receive_thread.join();
    shut_and_close(context->receive_socket);
    context->dispatch_thread.join();
    for (std::atomic<QueuedMessage*>& slot : context->queue) {
        delete slot.exchange(nullptr);
    }
    delete context;
    return DISC_OK;
}

namespace {

// The first registration of a handler stays; there is no removal. The data is
// published before the handler, which the dispatch thread reads first.
template <typename Handler>
int32_t register_handler(DiscoveryContext* context, std::atomic<Handler>& slot, std::atomic<void*>& slot_data,
                         Handler handler, void* data) {
    if (context->client_id[0] == '\0') {
        return DISC_E_NOT_READY;
    }
    if (slot.load() == nullptr) {
        slot_data.store(data, std::memory_order_relaxed);
        slot.store(handler, std::memory_order_release);
    }
    return DISC_OK;
}

}  // namespace

int32_t discovery_set_device_handler(DiscoveryContext* context, DeviceHandler handler, void* data) {
    return context == nullptr ? DISC_E_INVALID
                              : register_handler(context, context->device_handler, context->device_data, handler, data);
}

int32_t discovery_set_result_handler(DiscoveryContext* context, ResultHandler handler, void* data) {
    return context == nullptr ? DISC_E_INVALID
                              : register_handler(context, context->result_handler, context->result_data, handler, data);
}

int32_t discovery_search(DiscoveryContext* context) {
    if (context == nullptr) {
        return DISC_E_INVALID;
    }
    if (context->client_id[0] == '\0') {
        return DISC_E_NOT_READY;
    }
    context->search_sent = 0;
    if (!context->send_sockets_made) {
        const std::vector<std::string> addresses = discovery_local_addresses();
        if (addresses.empty()) {
            return DISC_E_NOT_READY;  // a later search tries again
        }
        make_send_sockets(context, addresses);
    }
    context->sequence = keplin::protocol::next_sequence(context->sequence);
    char message[MESSAGE_BUFFER_SIZE];
    const int length = keplin::protocol::build_search(message, sizeof message, context->sequence, context->client_id);
    context->search_sent = length > 0 ? send_to_group(context, message, length) : 0;
    return DISC_OK;
}

int discovery_search_sent(const DiscoveryContext* context) {
    return context != nullptr ? context->search_sent : 0;
}

uint16_t discovery_port(const DiscoveryContext* context) {
    return context != nullptr ? context->port : 0;
}

const char* discovery_client_id(const DiscoveryContext* context) {
    return context != nullptr ? context->client_id : "";
}
