#include "rules/devices.h"

#include "rules/fields.h"

#include <cstdio>
#include <cstring>

namespace rules {

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

bool SharesAddress(const std::vector<FoundDevice>& devices, std::size_t index) {
    if (index >= devices.size() || devices[index].kind != KIND_BROADCAST) return false;
    const std::string address = RawField(devices[index].broadcast.ip);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (i != index && devices[i].kind == KIND_BROADCAST && RawField(devices[i].broadcast.ip) == address)
            return true;
    }
    return false;
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

bool DeviceList::Add(const FoundDevice& device) {
    const std::string key = DeviceKey(device);
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_seenKeys.count(key)) return false;
    if (m_devices.size() >= m_capacity) {
        m_overflowed = true;
        return false;
    }
    m_seenKeys.insert(key);
    m_devices.push_back(device);
    return true;
}

bool DeviceList::Overflowed() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_overflowed;
}

bool DeviceList::Describe(int index, std::string* name, std::string* address) const {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_devices.size())) return false;
    const FoundDevice& device = m_devices[static_cast<std::size_t>(index)];
    if (name) *name = device.Name();
    if (address) *address = device.Address();
    return true;
}

void DeviceList::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_seenKeys.clear();
    m_devices.clear();
    m_devices.shrink_to_fit();
    m_overflowed = false;
}

int DeviceList::Count() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return static_cast<int>(m_devices.size());
}

bool DeviceList::Get(int index, FoundDevice* device) const {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_devices.size())) return false;
    *device = m_devices[static_cast<std::size_t>(index)];
    return true;
}

std::vector<FoundDevice> DeviceList::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_devices;
}

bool DeviceList::Update(int index, const std::function<void(FoundDevice&)>& change) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_devices.size())) return false;
    change(m_devices[static_cast<std::size_t>(index)]);
    return true;
}

int DeviceList::OnDeviceFound(DiscoveryContext*, const char*, const DeviceRecord* record, void* data) {
    if (record && data) static_cast<DeviceList*>(data)->AddText(*record);
    return 0;
}

void DeviceList::OnBroadcastFound(const uint8_t* reply, void* data) {
    if (reply && data) static_cast<DeviceList*>(data)->AddBroadcast(reply);
}

}  // namespace rules
