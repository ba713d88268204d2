// The cameras one search found, in order of arrival, each listed once. The
// engine's threads add to the list; the thread that searched reads and empties
// it. Every access takes the one lock, so a reader never meets an append
// halfway.
#pragma once

#include "engine/discovery.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace rules {

constexpr char KIND_TEXT = 'M';       // found by the text protocol
constexpr char KIND_BROADCAST = 'L';  // found by the broadcast protocol

// One found camera: a copy of what it sent. Only the part of its kind is used.
struct FoundDevice {
    char kind = KIND_TEXT;
    DeviceRecord text{};          // kind 'M'
    BroadcastRecord broadcast{};  // kind 'L': the record its reply begins with

    // Name and IP address as UTF-8.
    std::string Name() const;
    std::string Address() const;
};

// The six bytes a broadcast camera's record carries at offset 84, written as
// "00:1A:2B:3C:4D:5E". The protocol gives them no meaning, but they are the
// camera's own: two cameras on one address differ in them, and one camera
// repeats them in every answer and in the result of a set request.
std::string BroadcastCameraId(const BroadcastRecord& record);

// What makes two answers the same camera: the MAC text of a text-protocol
// camera; the IP address text together with BroadcastCameraId for a broadcast
// camera (new cameras often share a factory address). The kind is part of the
// key, so a camera answering by both protocols is listed once per protocol.
std::string DeviceKey(const FoundDevice& device);

// Whether a set result (a record followed by its result code) comes from the
// camera the request was built for.
bool ResultFromCamera(const BroadcastRecord& request, const uint8_t* result, std::size_t size);

// How many cameras one search lists at most: far above any real site, and
// a bound on what a broken or hostile device can make the list hold.
constexpr std::size_t kDeviceListCapacity = 65536;

class DeviceList {
public:
    explicit DeviceList(std::size_t capacity = kDeviceListCapacity) : m_capacity(capacity) {}

    // Engine threads. Each adds a copy unless a camera with the same key is
    // listed or the list is full. True when added.
    bool AddText(const DeviceRecord& record);
    bool AddBroadcast(const uint8_t* reply);  // BROADCAST_REPLY_SIZE bytes

    void Clear();
    int Count() const;
    std::size_t Capacity() const { return m_capacity; }
    // True when a new camera was turned away since the last Clear() because
    // the list was full.
    bool Overflowed() const;
    // The name and address of entry `index`, without copying the record;
    // false when there is none.
    bool Describe(int index, std::string* name, std::string* address) const;
    // A copy of entry `index`; false when there is none.
    bool Get(int index, FoundDevice* device) const;
    // Copies of every entry: for small lists (tests); a full list expands to
    // tens of megabytes this way.
    std::vector<FoundDevice> Snapshot() const;
    // Runs `change` on entry `index` under the lock; false when there is none.
    // The entry stays listed under the key it was added with.
    bool Update(int index, const std::function<void(FoundDevice&)>& change);
    // Whether another listed broadcast camera has the IP address of broadcast
    // entry `index`; a set request to that address then reaches several
    // cameras.
    bool SharesAddress(std::size_t index) const;

    // Engine callbacks; `data` is the list.
    static int OnDeviceFound(DiscoveryContext* context, const char* status, const DeviceRecord* record,
                             void* data);
    static void OnBroadcastFound(const uint8_t* reply, void* data);

private:
    // Entries are kept packed (devices.cpp): the kind, the key the entry was
    // listed under, and the record with its runs of zero bytes folded, so that
    // an entry costs what its camera sent rather than both records' full
    // sizes. The set of keys holds entry numbers and reads the keys from the
    // entries, so no key is stored twice.
    using Packed = std::string;
    struct KeyHash {
        const std::deque<Packed>* entries;
        std::size_t operator()(uint32_t index) const;
    };
    struct SameKey {
        const std::deque<Packed>* entries;
        bool operator()(uint32_t a, uint32_t b) const;
    };

    bool Add(const FoundDevice& device);

    const std::size_t m_capacity;
    mutable std::mutex m_lock;
    bool m_overflowed = false;
    std::deque<Packed> m_entries;  // a deque grows without copying what it holds
    std::unordered_set<uint32_t, KeyHash, SameKey> m_seenKeys{0, KeyHash{&m_entries}, SameKey{&m_entries}};
};

}  // namespace rules
