// The cameras one search found, collected from the engine's threads with the
// search dialog's rule: a text-protocol camera once per MAC text, a broadcast
// camera once per IP address text, in order of arrival.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "engine/discovery.h"

namespace keplin::cli {

struct FoundDevice {
    char kind = 'M';               // 'M' text protocol, 'L' broadcast protocol
    DeviceRecord text{};           // kind 'M'
    BroadcastRecord broadcast{};   // kind 'L': the first 324 bytes of its reply

    // The key that makes a camera appear once (raw bytes, as the camera sent them).
    std::string key() const;
    std::string ip() const;
};

class DeviceCollector {
public:
    // Both return true when the camera was new and was appended. Safe to call
    // from any thread; the record is copied.
    bool AddText(const DeviceRecord& record);
    bool AddBroadcast(const uint8_t* reply);  // BROADCAST_REPLY_SIZE bytes

    // A copy of the list as it stands, in order of arrival.
    std::vector<FoundDevice> Snapshot() const;

    // Engine callbacks; `data` is the collector.
    static int OnDeviceFound(DiscoveryContext* context, const char* status,
                             const DeviceRecord* record, void* data);
    static void OnBroadcastFound(const uint8_t* reply, void* data);

private:
    bool Add(FoundDevice device);

    mutable std::mutex m_lock;
    std::set<std::string> m_seenKeys;  // both kinds share one set, as in the dialog
    std::vector<FoundDevice> m_devices;
};

}  // namespace keplin::cli
