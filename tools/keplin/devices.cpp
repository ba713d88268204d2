#include "tools/keplin/devices.h"

#include "tools/keplin/text.h"

namespace keplin::cli {

std::string FoundDevice::key() const {
    return kind == 'M' ? field_text(text.mac) : field_text(broadcast.ip);
}

std::string FoundDevice::ip() const {
    return kind == 'M' ? field_text(text.ip) : field_text(broadcast.ip);
}

bool DeviceCollector::AddText(const DeviceRecord& record) {
    FoundDevice device;
    device.kind = 'M';
    device.text = record;
    return Add(device);
}

bool DeviceCollector::AddBroadcast(const uint8_t* reply) {
    FoundDevice device;
    device.kind = 'L';
    device.broadcast = broadcast_record_from_reply(reply);
    return Add(device);
}

bool DeviceCollector::Add(FoundDevice device) {
    std::string key = device.key();
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_seenKeys.insert(key).second) return false;
    m_devices.push_back(device);
    return true;
}

std::vector<FoundDevice> DeviceCollector::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_devices;
}

int DeviceCollector::OnDeviceFound(DiscoveryContext*, const char*, const DeviceRecord* record,
                                   void* data) {
    if (record != nullptr && data != nullptr) static_cast<DeviceCollector*>(data)->AddText(*record);
    return 0;
}

void DeviceCollector::OnBroadcastFound(const uint8_t* reply, void* data) {
    if (reply != nullptr && data != nullptr) static_cast<DeviceCollector*>(data)->AddBroadcast(reply);
}

}  // namespace keplin::cli
