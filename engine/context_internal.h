// Internal to the engine: the discovery context's storage.
#pragma once

#include "engine/discovery.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A received datagram waiting for the dispatch thread. One extra byte keeps
// the text terminated even when the datagram filled the whole buffer.
struct QueuedMessage {
    int32_t ready = 0;
    int32_t length = 0;
    char text[RECEIVE_BUFFER_SIZE + 1] = {};
};

struct DiscoveryContext {
    int receive_socket = -1;
    char group[32] = {};
    uint16_t port = 0;
    int32_t send_timeout_s = 0;
    std::atomic<bool> stop{false};
    bool send_sockets_made = false;
    uint32_t sequence = 0;  // caller's thread only
    int search_sent = 0;    // caller's thread only: adapters the last search left through
    int32_t queue_write = 0; // receive thread only
    int32_t queue_read = 0;  // dispatch thread only
    int send_sockets[MAX_LOCAL_ADDRESSES];

    // Handlers are registered on the caller's thread while the dispatch thread
    // may be reading them: the data is published before the handler.
    std::atomic<void*> result_data{nullptr};
    std::atomic<void*> device_data{nullptr};
    std::atomic<ResultHandler> result_handler{nullptr};
    std::atomic<DeviceHandler> device_handler{nullptr};

    std::thread receive_thread;
    std::thread dispatch_thread;
    char client_id[33] = {};

    // The receive thread fills only empty slots and publishes a message once
    // it is complete; the dispatch thread takes only full slots.
    std::atomic<QueuedMessage*> queue[QUEUE_SLOTS] = {};

    // Written on the caller's thread, matched and cleared on the dispatch thread.
    std::mutex pending_lock;
    uint32_t pending[PENDING_SLOTS] = {};
    int32_t pending_write = 0;

    // Lets close, or a receive thread that found the queue full, wake the
    // dispatch thread from its 100 ms sleep; `space` wakes a receive thread
    // waiting for its slot. Both wait on wake_lock.
    std::mutex wake_lock;
    std::condition_variable wake;
    std::condition_variable space;
    bool drain_now = false;  // under wake_lock
};

// Classifies one accepted message and hands it to the matching handler: a
// search reply to the device handler, a command result that matches a pending
// command to the result handler. Runs on the dispatch thread.
void dispatch_message(DiscoveryContext* context, const char* text, int length);

// Sends `length` bytes of `message` to the group from every send socket.
// Returns how many sockets sent it.
int send_to_group(DiscoveryContext* context, const char* message, int length);
