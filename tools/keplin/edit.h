// `keplin set` without the network: picking the camera, checking the options,
// and turning the camera's current values plus the options into the request
// the search dialog's update would send.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/discovery.h"
#include "tools/keplin/devices.h"

namespace keplin::cli {

enum class Protocol { Text, Broadcast, All };

// "text", "broadcast" or "all"; nullopt for anything else.
std::optional<Protocol> parse_protocol(const std::string& name);
bool includes(Protocol selected, char kind);

struct SetOptions {
    std::string user;
    std::string password;
    std::optional<std::string> ip, mask, gateway, dns1, dns2;
    std::optional<bool> dhcp;
    std::optional<uint16_t> http_port;
};

// Checks the options on their own (before any search): addresses are dotted
// IPv4 texts, the account and password hold no line break or other control
// character (they go on a line of the text protocol). The message for the
// user, or empty when acceptable.
std::string check_set_options(const SetOptions& options);

// Indexes of the listed cameras of the selected protocol(s) whose IP address,
// MAC (any letter case, ':' or '-') or device id equals `target`. A broadcast
// camera has no device id; its MAC is the identifying bytes of its record
// (rules::BroadcastCameraId).
std::vector<size_t> match_target(const DeviceSource& devices, const std::string& target, Protocol protocol);
std::vector<size_t> match_target(const std::vector<FoundDevice>& devices, const std::string& target,
                                 Protocol protocol);

// The window's check of fixed addressing (rules::CheckAddresses): address,
// mask and gateway must not be "0.0.0.0" or empty, and the address must not be
// one of this PC's. The message, or empty when acceptable.
std::string validate_fixed_addressing(const std::string& ip, const std::string& mask,
                                      const std::string& gateway,
                                      const std::vector<std::string>& local_addresses);

// A text-protocol camera: the record for the netconf command and whether an
// httpport command follows its "200".
struct TextUpdate {
    DeviceRecord record{};
    bool send_port = false;
    std::string port;
    std::string error;  // non-empty: nothing may be sent
};
TextUpdate plan_text_update(const DeviceRecord& current, const SetOptions& options,
                            const std::vector<std::string>& local_addresses);

// A broadcast camera: the set request built from its own record.
struct BroadcastUpdate {
    BroadcastRecord record{};
    std::vector<std::string> notes;  // warnings for the user (texts cut to their fields)
    std::string error;               // non-empty: nothing may be sent
};
BroadcastUpdate plan_broadcast_update(const BroadcastRecord& current, const SetOptions& options,
                                      const std::vector<std::string>& local_addresses);

}  // namespace keplin::cli
