#include "rules/devices.h"

#include "rules/fields.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace rules {

namespace {

// A packed entry: its kind, the length of its key, the key, then its record
// with every run of zero bytes folded: a byte other than zero stands for
// itself, a zero byte is followed by the length of its run (1 to 255). Text
// fields end in zeros up to their size, so a camera's entry takes about what
// it sent; a record with no zero byte at all grows by nothing.
constexpr std::size_t kKeyAt = 2;

void Fold(const void* record, std::size_t size, std::string& out) {
    const auto* bytes = static_cast<const uint8_t*>(record);
    for (std::size_t i = 0; i < size;) {
        if (bytes[i] != 0) {
            out += static_cast<char>(bytes[i++]);
            continue;
        }
        std::size_t run = 1;
        while (run < 255 && i + run < size && bytes[i + run] == 0) ++run;
        out += '\0';
        out += static_cast<char>(run);
        i += run;
    }
}

// Unfolds into `size` bytes at `record`, zeroed first; stops when they are
// full, so a caller may ask for the first bytes only.
void Unfold(std::string_view folded, void* record, std::size_t size) {
    auto* bytes = static_cast<uint8_t*>(record);
    std::memset(bytes, 0, size);
    std::size_t at = 0;
    for (std::size_t i = 0; i < folded.size() && at < size; ++i) {
        const auto c = static_cast<uint8_t>(folded[i]);
        if (c != 0) {
            bytes[at++] = c;
        } else if (++i < folded.size()) {
            at += static_cast<uint8_t>(folded[i]);
        }
    }
}

char KindOf(const std::string& packed) { return packed[0]; }

std::string_view KeyOf(const std::string& packed) {
    return std::string_view(packed).substr(kKeyAt, static_cast<uint8_t>(packed[1]));
}

std::string_view FoldedRecord(const std::string& packed) {
    return std::string_view(packed).substr(kKeyAt + static_cast<uint8_t>(packed[1]));
}

// Keys are at most 35 bytes (a kind, an IP field of 16 bytes, '/', and 17
// characters of identifying bytes), so their length fits the one byte.
std::string Pack(const FoundDevice& device, std::string_view key) {
    std::string packed;
    packed += device.kind;
    packed += static_cast<char>(key.size());
    packed += key;
    if (device.kind == KIND_TEXT) Fold(&device.text, sizeof device.text, packed);
    else Fold(&device.broadcast, sizeof device.broadcast, packed);
    packed.shrink_to_fit();
    return packed;
}

void Unpack(const std::string& packed, FoundDevice* device) {
    *device = FoundDevice{};
    device->kind = KindOf(packed);
    if (device->kind == KIND_TEXT) Unfold(FoldedRecord(packed), &device->text, sizeof device->text);
    else Unfold(FoldedRecord(packed), &device->broadcast, sizeof device->broadcast);
}

// The IP address field of a packed broadcast entry, unfolding no further.
std::string BroadcastAddress(const std::string& packed) {
    char head[offsetof(BroadcastRecord, mask)];
    Unfold(FoldedRecord(packed), head, sizeof head);
    return RawField(head + offsetof(BroadcastRecord, ip), sizeof BroadcastRecord::ip);
}

}  // namespace

std::string FoundDevice::Name() const {
    return kind == KIND_TEXT ? FieldText(text.device_name) : FieldText(broadcast.device_name);
}

std::string FoundDevice::Address() const {
    return kind == KIND_TEXT ? FieldText(text.ip) : FieldText(broadcast.ip);
}

std::string BroadcastCameraId(const BroadcastRecord& record) {
    const uint8_t* b = record.reserved2;
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
    return text;
}

std::string DeviceKey(const FoundDevice& device) {
    if (device.kind == KIND_TEXT) return std::string(1, KIND_TEXT) + RawField(device.text.mac);
    return std::string(1, KIND_BROADCAST) + RawField(device.broadcast.ip) + '/' +
           BroadcastCameraId(device.broadcast);
}

bool ResultFromCamera(const BroadcastRecord& request, const uint8_t* result, std::size_t size) {
    const std::size_t offset = offsetof(BroadcastRecord, reserved2);
    if (!result || size < offset + sizeof request.reserved2) return false;
    return std::memcmp(result + offset, request.reserved2, sizeof request.reserved2) == 0;
}

bool DeviceList::AddText(const DeviceRecord& record) {
    FoundDevice device;
    device.kind = KIND_TEXT;
    device.text = record;
    return Add(device);
}

bool DeviceList::AddBroadcast(const uint8_t* reply) {
    if (!reply) return false;
    FoundDevice device;
    device.kind = KIND_BROADCAST;
    device.broadcast = broadcast_record_from_reply(reply);
    return Add(device);
}

std::size_t DeviceList::KeyHash::operator()(uint32_t index) const {
    return std::hash<std::string_view>{}(KeyOf((*entries)[index]));
}

bool DeviceList::SameKey::operator()(uint32_t a, uint32_t b) const {
    return KeyOf((*entries)[a]) == KeyOf((*entries)[b]);
}

bool DeviceList::Add(const FoundDevice& device) {
    Packed packed = Pack(device, DeviceKey(device));
    std::lock_guard<std::mutex> lock(m_lock);
    // The set compares entries, so the candidate goes in last and is taken
    // back out unless it is listed.
    const auto index = static_cast<uint32_t>(m_entries.size());
    m_entries.push_back(std::move(packed));
    if (m_seenKeys.count(index)) {
        m_entries.pop_back();
        return false;
    }
    if (index >= m_capacity) {
        m_entries.pop_back();
        m_overflowed = true;
        return false;
    }
    m_seenKeys.insert(index);
    return true;
}

bool DeviceList::Overflowed() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_overflowed;
}

bool DeviceList::Describe(int index, std::string* name, std::string* address) const {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_entries.size())) return false;
    FoundDevice device;
    Unpack(m_entries[static_cast<std::size_t>(index)], &device);
    if (name) *name = device.Name();
    if (address) *address = device.Address();
    return true;
}

void DeviceList::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    // Both give their memory back, not only their entries.
    decltype(m_seenKeys)(0, KeyHash{&m_entries}, SameKey{&m_entries}).swap(m_seenKeys);
    std::deque<Packed>().swap(m_entries);
    m_overflowed = false;
}

int DeviceList::Count() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return static_cast<int>(m_entries.size());
}

bool DeviceList::Get(int index, FoundDevice* device) const {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_entries.size())) return false;
    Unpack(m_entries[static_cast<std::size_t>(index)], device);
    return true;
}

std::vector<FoundDevice> DeviceList::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<FoundDevice> devices(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i) Unpack(m_entries[i], &devices[i]);
    return devices;
}

bool DeviceList::Update(int index, const std::function<void(FoundDevice&)>& change) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_entries.size())) return false;
    Packed& packed = m_entries[static_cast<std::size_t>(index)];
    FoundDevice device;
    Unpack(packed, &device);
    change(device);
    packed = Pack(device, KeyOf(packed));
    return true;
}

bool DeviceList::SharesAddress(std::size_t index) const {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index >= m_entries.size() || KindOf(m_entries[index]) != KIND_BROADCAST) return false;
    const std::string address = BroadcastAddress(m_entries[index]);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (i != index && KindOf(m_entries[i]) == KIND_BROADCAST && BroadcastAddress(m_entries[i]) == address)
            return true;
    }
    return false;
}

int DeviceList::OnDeviceFound(DiscoveryContext*, const char*, const DeviceRecord* record, void* data) {
    if (record && data) static_cast<DeviceList*>(data)->AddText(*record);
    return 0;
}

void DeviceList::OnBroadcastFound(const uint8_t* reply, void* data) {
    if (reply && data) static_cast<DeviceList*>(data)->AddBroadcast(reply);
}

}  // namespace rules
