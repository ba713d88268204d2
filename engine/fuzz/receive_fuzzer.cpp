// Feeds arbitrary datagrams to the receive path: the client identifier check,
// classification, device record reading and command result matching.
#include "engine/context_internal.h"
#include "engine/protocol.h"

#include <cstring>

namespace {

const char kClientId[] = "FuzzFuzzFuzzFuzzFuzzFuzzFuzzFuzz";

int on_device(DiscoveryContext*, const char* status, const DeviceRecord* record, void*) {
    // Every text field must still be terminated within its capacity.
    if (strnlen(record->device_id, sizeof record->device_id) == sizeof record->device_id ||
        strnlen(record->device_type, sizeof record->device_type) == sizeof record->device_type ||
        strcmp(status, "200") != 0) {
        __builtin_trap();
    }
    return 0;
}

int on_result(DiscoveryContext*, const char* status, const void*, void*) {
    if (strcmp(status, "200") != 0 && strcmp(status, "401") != 0 && strcmp(status, "403") != 0) {
        __builtin_trap();
    }
    return 0;
}

DiscoveryContext* fuzz_context() {
    // A context without sockets or threads: only the receive-side state.
    static DiscoveryContext* context = [] {
        auto* c = new DiscoveryContext;
        strcpy(c->client_id, kClientId);
        c->device_handler = on_device;
        c->result_handler = on_result;
        return c;
    }();
    for (int i = 0; i < PENDING_SLOTS; ++i) {
        context->pending[i] = static_cast<uint32_t>(i + 1);
    }
    return context;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As the receive thread does: at most one buffer's worth, text up to the first NUL.
    char buffer[RECEIVE_BUFFER_SIZE + 1] = {};
    const size_t received = size < RECEIVE_BUFFER_SIZE ? size : RECEIVE_BUFFER_SIZE;
    memcpy(buffer, data, received);
    const int length = static_cast<int>(strnlen(buffer, received));
    DiscoveryContext* context = fuzz_context();
    keplin::protocol::client_id_matches(buffer, length, context->client_id);
    // Past the identifier check too, whether or not the input got there.
    dispatch_message(context, buffer, length);
    return 0;
}
