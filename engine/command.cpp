// Configuration commands of the text protocol.
#include "engine/context_internal.h"
#include "engine/protocol.h"

#include <cstring>

int32_t discovery_command(DiscoveryContext* context, const CommandAuth* auth, int32_t kind, const void* params) {
    if (context == nullptr || auth == nullptr || auth->device_id == nullptr || params == nullptr ||
        strlen(auth->device_id) != 32) {
        return DISC_E_INVALID;
    }
    if (context->client_id[0] == '\0') {
        return DISC_E_NOT_READY;
    }
    if (kind < CMD_NETCONF || kind > CMD_IDENTIFYSET) {
        return DISC_E_INVALID;
    }
    char body[MESSAGE_BUFFER_SIZE];
    if (keplin::protocol::build_command_body(body, sizeof body, kind, params) < 0) {
        return DISC_E_INVALID;
    }
    const CommandAuth credentials{auth->device_id, auth->user != nullptr ? auth->user : "",
                                  auth->password != nullptr ? auth->password : ""};
    // A command that would not fit its buffer is refused whole and uses no
    // sequence number: a cut command could misconfigure a camera.
    const uint32_t sequence = keplin::protocol::next_sequence(context->sequence);
    char message[MESSAGE_BUFFER_SIZE];
    const int length = keplin::protocol::build_command(message, sizeof message, sequence, context->client_id,
                                                       credentials, body);
    if (length < 0) {
        return DISC_E_INVALID;
    }
    context->sequence = sequence;
    {
        // Recorded before the send, so that a fast answer finds its entry.
        std::lock_guard<std::mutex> hold(context->pending_lock);
        context->pending[context->pending_write] = sequence;
        context->pending_write = (context->pending_write + 1) % PENDING_SLOTS;
    }
    send_to_group(context, message, length);
    return DISC_OK;
}
