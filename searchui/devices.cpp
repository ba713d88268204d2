#include "searchui/devices.h"

#include "platform/profile.h"

#include <cstring>

namespace searchui {

std::string FieldText(const char* field, std::size_t size) {
    return platform::ToUtf8(std::string(field, strnlen(field, size)));
}

BroadcastRecord DeviceEntry::Broadcast() const {
    BroadcastRecord record;
    std::memcpy(&record, reply.data(), sizeof record);
    return record;
}

std::string DeviceEntry::Name() const {
    if (kind == KIND_TEXT) return FieldText(record.device_name);
    return FieldText(Broadcast().device_name);
}

std::string DeviceEntry::Address() const {
    if (kind == KIND_TEXT) return FieldText(record.ip);
    return FieldText(Broadcast().ip);
}

bool DeviceList::AddTextDevice(const DeviceRecord& record) {
    const std::string key(record.mac, strnlen(record.mac, sizeof record.mac));
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_seenKeys.insert(key).second) return false;
    DeviceEntry entry;
    entry.kind = KIND_TEXT;
    entry.record = record;
    m_devices.push_back(entry);
    return true;
}

bool DeviceList::AddBroadcastDevice(const uint8_t* reply) {
    if (!reply) return false;
    DeviceEntry entry;
    entry.kind = KIND_BROADCAST;
    std::memcpy(entry.reply.data(), reply, entry.reply.size());
    const BroadcastRecord record = entry.Broadcast();
    const std::string key(record.ip, strnlen(record.ip, sizeof record.ip));
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_seenKeys.insert(key).second) return false;
    m_devices.push_back(entry);
    return true;
}

void DeviceList::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_seenKeys.clear();
    m_devices.clear();
}

int DeviceList::Count() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return static_cast<int>(m_devices.size());
}

bool DeviceList::Get(int index, DeviceEntry* entry) const {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_devices.size())) return false;
    *entry = m_devices[static_cast<size_t>(index)];
    return true;
}

std::vector<DeviceEntry> DeviceList::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_devices;
}

bool DeviceList::Update(int index, const std::function<void(DeviceEntry&)>& change) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_devices.size())) return false;
    change(m_devices[static_cast<size_t>(index)]);
    return true;
}

}  // namespace searchui
