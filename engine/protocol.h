// Internal to the engine: the text protocol's messages, built and read.
// Exposed to the engine's tests and the fuzz target, not to the dialog.
#pragma once

#include "engine/discovery.h"

#include <cstdint>

namespace keplin::protocol {

// Sequence numbers: the next after `current`, wrapping to 1 at 4,000,000,000.
uint32_t next_sequence(uint32_t current);

// Writes the SEARCH request into `out` (capacity bytes). Returns its length
// (no NUL counted), or -1 when it does not fit.
int build_search(char* out, size_t capacity, uint32_t sequence, const char* client_id);

// Writes the body of a command of `kind` into `out`. Returns its length, or
// -1 for an unknown kind, missing parameters or a body that does not fit.
int build_command_body(char* out, size_t capacity, int32_t kind, const void* params);

// Writes the CMD request carrying `body` into `out`. Returns its length, or -1
// when it does not fit.
int build_command(char* out, size_t capacity, uint32_t sequence, const char* client_id,
                  const CommandAuth& auth, const char* body);

enum class MessageKind { SearchReply, CommandResult };

// Classifies a received message; for a command result `*status` receives
// "200", "401" or "403".
MessageKind classify(const char* text, int length, const char** status);

// Reads a search reply into `record` (zeroed first). False when the reply has
// no "Device-ID=" value, in which case it is dropped.
bool read_device_record(const char* text, int length, DeviceRecord* record);

// True when the message's "Client-ID:" value equals `client_id` exactly.
bool client_id_matches(const char* text, int length, const char* client_id);

}  // namespace keplin::protocol
