// Cameras of both protocols as the rules see them.
#pragma once

#include "engine/discovery.h"
#include "rules/fields.h"

#include <array>
#include <cstring>
#include <string>

inline DeviceRecord TextRecord(const std::string& mac, const std::string& ip) {
    DeviceRecord r{};
    rules::CopyField(r.device_id, "KP3A00000000000000000000000A0001");
    rules::CopyField(r.mac, mac);
    rules::CopyField(r.ip, ip);
    rules::CopyField(r.mask, "255.255.255.0");
    rules::CopyField(r.http_port, "80");
    return r;
}

// A broadcast camera whose identifying bytes (offset 84) end in `id`; every
// byte the protocol does not interpret is set, so that a test sees it kept.
inline BroadcastRecord BroadcastRecordOf(const std::string& ip, uint8_t id = 1) {
    BroadcastRecord r{};
    auto* bytes = reinterpret_cast<uint8_t*>(&r);
    for (size_t i = 0; i < sizeof r; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    r.magic[0] = 'D', r.magic[1] = 'H', r.type[0] = 1, r.type[1] = 1;
    rules::CopyField(r.ip, ip);
    rules::CopyField(r.mask, "255.255.0.0");
    rules::CopyField(r.gateway, "10.0.1.254");
    rules::CopyField(r.dns, "10.0.1.53");
    rules::CopyField(r.device_name, "Garden");
    rules::CopyField(r.user, "old");
    rules::CopyField(r.password, "oldpw");
    const uint8_t mac[6] = {0x02, 0x4B, 0x53, 0x00, 0x00, id};
    std::memcpy(r.reserved2, mac, sizeof mac);
    set_broadcast_http_port(r, 80);
    r.address_mode = 0;
    return r;
}

inline std::array<uint8_t, BROADCAST_REPLY_SIZE> Reply(const BroadcastRecord& record) {
    std::array<uint8_t, BROADCAST_REPLY_SIZE> reply{};
    std::memcpy(reply.data(), &record, sizeof record);
    return reply;
}
