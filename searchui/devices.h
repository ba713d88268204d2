// The cameras found by one search, in arrival order, each listed once. The
// engine's threads add to it; the user-interface thread reads and empties it.
// Every access takes the one lock, so a reader never meets an append halfway.
#pragma once

#include "engine/discovery.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace searchui {

constexpr char KIND_TEXT = 'M';       // found by the text protocol
constexpr char KIND_BROADCAST = 'L';  // found by the broadcast protocol

using BroadcastReply = std::array<uint8_t, BROADCAST_REPLY_SIZE>;

// One found camera: a copy of what it sent. Only the part of its kind is used.
struct DeviceEntry {
    char kind = 0;
    DeviceRecord record{};    // kind 'M'
    BroadcastReply reply{};   // kind 'L': begins with its BroadcastRecord

    BroadcastRecord Broadcast() const;
    // Name and address as the list shows them (UTF-8).
    std::string Name() const;
    std::string Address() const;
};

// A text field of a record or a reply as UTF-8: read up to its NUL or its
// size, whichever comes first; bytes that are not UTF-8 are read as GBK.
std::string FieldText(const char* field, std::size_t size);
template <std::size_t N>
std::string FieldText(const char (&field)[N]) { return FieldText(field, N); }

class DeviceList {
public:
    // Engine threads. Each adds a copy unless a camera with the same key is
    // listed (kind 'M': its mac; kind 'L': its IP address). True when added.
    bool AddTextDevice(const DeviceRecord& record);
    bool AddBroadcastDevice(const uint8_t* reply);

    // User-interface thread.
    void Clear();
    int Count() const;
    // A copy of entry `index`; false when there is none.
    bool Get(int index, DeviceEntry* entry) const;
    std::vector<DeviceEntry> Snapshot() const;
    // Runs `change` on entry `index` under the lock; false when there is none.
    bool Update(int index, const std::function<void(DeviceEntry&)>& change);

private:
    mutable std::mutex m_lock;
    std::set<std::string> m_seenKeys;
    std::vector<DeviceEntry> m_devices;
};

}  // namespace searchui
