#include "rules/update.h"

#include "rules/fields.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <strings.h>

namespace rules {
namespace {

constexpr const char* kZeroAddress = "0.0.0.0";
constexpr const char* kBlanks = " \t";

bool IsZero(const std::string& address) { return address.empty() || address == kZeroAddress; }

std::string BlankIfZero(const std::string& text) { return IsZero(text) ? std::string() : text; }

// Copies unless the field already shows `text`, so that what the camera sent
// (bytes after the NUL included) goes back unchanged.
template <std::size_t N>
void SetText(char (&field)[N], const std::string& text) {
    if (FieldText(field) != text) CopyField(field, text);
}

}  // namespace

AddressFault CheckAddresses(const AddressFields& fields, const std::vector<std::string>& local_addresses) {
    if (fields.automatic) return AddressFault::None;
    if (IsZero(fields.ip)) return AddressFault::Ip;
    if (IsZero(fields.mask)) return AddressFault::Mask;
    if (IsZero(fields.gateway)) return AddressFault::Gateway;
    if (std::find(local_addresses.begin(), local_addresses.end(), fields.ip) != local_addresses.end())
        return AddressFault::LocalAddress;
    return AddressFault::None;
}

CredentialFault CheckCredentials(const std::string& account, const std::string& password) {
    if (HasControlCharacter(account)) return CredentialFault::Account;
    if (HasControlCharacter(password)) return CredentialFault::Password;
    return CredentialFault::None;
}

std::optional<uint16_t> ParsePort(const std::string& text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return std::nullopt;
    const auto last = text.find_last_not_of(kBlanks);
    const std::string digits = text.substr(first, last - first + 1);
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const long value = std::strtol(digits.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) return std::nullopt;
    return static_cast<uint16_t>(value);
}

bool SamePort(const std::string& port_text, const DeviceRecord& record) {
    return strcasecmp(port_text.c_str(), RawField(record.http_port).c_str()) == 0;
}

bool ReservedPort(const std::string& port_text) { return port_text == "8002" || port_text == "55555"; }

bool PortCommandNeeded(const std::string& port_text, const DeviceRecord& record) {
    return !SamePort(port_text, record) && !ReservedPort(port_text);
}

std::optional<int> LeadingInt(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
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

void FillBroadcastRecord(BroadcastRecord& record, const AddressFields& fields, const std::string& port_text,
                         const std::string& account, const std::string& password) {
    if (fields.automatic) {
        SetText(record.ip, kZeroAddress);
        record.address_mode = 1;
    } else {
        record.address_mode = 0;
        SetText(record.ip, fields.ip);
        SetText(record.mask, fields.mask);
        SetText(record.gateway, fields.gateway);
        SetText(record.dns, fields.dns1);
    }
    set_broadcast_http_port(record, BroadcastPortFromText(port_text));
    SetText(record.user, account);
    SetText(record.password, password);
}

}  // namespace rules
