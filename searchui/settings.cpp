#include "searchui/settings.h"

#include "platform/profile.h"
#include "searchui/texts.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace searchui {
namespace {

constexpr const char* kZeroAddress = "0.0.0.0";

std::string BlankIfZero(const std::string& text) { return text == kZeroAddress ? std::string() : text; }

}  // namespace

const char* AddressProblem(const AddressFields& fields, const std::vector<std::string>& local_addresses) {
    if (fields.automatic) return nullptr;
    if (fields.ip == kZeroAddress) return kKeyBadIp;
    if (fields.mask == kZeroAddress) return kKeyBadMask;
    if (fields.gateway == kZeroAddress) return kKeyBadGateway;
    if (std::find(local_addresses.begin(), local_addresses.end(), fields.ip) != local_addresses.end())
        return kKeyLocalIp;
    return nullptr;
}

bool PortCommandNeeded(const std::string& port_text, const DeviceRecord& record) {
    const std::string current(record.http_port, strnlen(record.http_port, sizeof record.http_port));
    if (strcasecmp(port_text.c_str(), current.c_str()) == 0) return false;
    return port_text != "8002" && port_text != "55555";
}

std::optional<int> LeadingInt(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(start, &end, 10);
    if (end == start) return std::nullopt;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

std::optional<std::string> StepPortText(const std::string& text, int delta) {
    const int value = LeadingInt(text).value_or(0);
    if (delta == 1 && value <= 65534) return std::to_string(value + 1);
    if (delta == -1 && value >= 2) return std::to_string(value - 1);
    return std::nullopt;
}

void CopyField(char* field, std::size_t size, const std::string& text) {
    if (size == 0) return;
    const std::string cut = platform::CutUtf8(text, size - 1);
    std::memset(field, 0, size);
    std::memcpy(field, cut.data(), cut.size());
}

bool FillNetworkRecord(DeviceRecord& record, const AddressFields& fields) {
    CopyField(record.ip, BlankIfZero(fields.ip));
    CopyField(record.mask, BlankIfZero(fields.mask));
    CopyField(record.gateway, BlankIfZero(fields.gateway));
    if (record.ip[0] == '\0' || record.mask[0] == '\0') return false;
    CopyField(record.fdns, BlankIfZero(fields.dns1));
    CopyField(record.sdns, BlankIfZero(fields.dns2));
    record.dhcp = fields.automatic ? 1 : 0;
    record.dns_state = fields.automatic ? 1 : 0;
    return true;
}

uint16_t BroadcastPortFromText(const std::string& text) {
    const auto value = LeadingInt(text);
    if (!value || *value < 0 || *value > 65535) return 80;
    return static_cast<uint16_t>(*value);
}

void FillBroadcastRecord(BroadcastRecord& record, const AddressFields& fields,
                         const std::string& port_text, const std::string& account,
                         const std::string& password) {
    if (fields.automatic) {
        CopyField(record.ip, kZeroAddress);
        record.address_mode = 1;
    } else {
        record.address_mode = 0;
        CopyField(record.ip, fields.ip);
        CopyField(record.mask, fields.mask);
        CopyField(record.gateway, fields.gateway);
        CopyField(record.dns, fields.dns1);
    }
    const uint16_t port = BroadcastPortFromText(port_text);
    record.http_port[0] = static_cast<uint8_t>(port & 0xFF);
    record.http_port[1] = static_cast<uint8_t>(port >> 8);
    CopyField(record.user, account);
    CopyField(record.password, password);
}

bool RestartWait::Tick() {
    if (!m_active) return false;
    ++m_ticks;
    if (m_ticks < kTicks) return false;
    m_active = false;
    return true;
}

}  // namespace searchui
