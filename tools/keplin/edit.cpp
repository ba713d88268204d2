#include "tools/keplin/edit.h"

#include <arpa/inet.h>

#include <cctype>

#include "rules/fields.h"
#include "rules/update.h"
#include "tools/keplin/text.h"

namespace keplin::cli {

namespace {

bool is_ipv4(const std::string& text) {
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

std::string normalised_mac(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c == '-') c = ':';
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

bool same_mac(const std::string& mac, const std::string& target) {
    return !mac.empty() && normalised_mac(mac) == normalised_mac(target);
}

bool any_address_option(const SetOptions& o) {
    return o.ip || o.mask || o.gateway || o.dns1 || o.dns2;
}

// Addressing options need fixed addressing, as the window locks its address
// fields while the automatic box is checked.
std::string check_addressing_mode(const SetOptions& options, bool dhcp_on) {
    if (!dhcp_on || !any_address_option(options)) return {};
    if (options.dhcp) return "--dhcp on cannot be combined with --ip, --mask, --gateway, --dns1 or --dns2";
    return "the camera takes its address by DHCP: add --dhcp off to set its addresses";
}

// What the window's address fields would show: the camera's values, with the
// options in their place.
template <typename Record>
rules::AddressFields address_fields(const SetOptions& options, bool dhcp_on, const Record& current,
                                    const char (&dns1)[16], const char (&dns2)[16]) {
    rules::AddressFields fields;
    fields.automatic = dhcp_on;
    fields.ip = options.ip.value_or(rules::FieldText(current.ip));
    fields.mask = options.mask.value_or(rules::FieldText(current.mask));
    fields.gateway = options.gateway.value_or(rules::FieldText(current.gateway));
    fields.dns1 = options.dns1.value_or(rules::FieldText(dns1));
    fields.dns2 = options.dns2.value_or(rules::FieldText(dns2));
    return fields;
}

}  // namespace

std::optional<Protocol> parse_protocol(const std::string& name) {
    if (name == "text") return Protocol::Text;
    if (name == "broadcast") return Protocol::Broadcast;
    if (name == "all") return Protocol::All;
    return std::nullopt;
}

bool includes(Protocol selected, char kind) {
    return selected == Protocol::All || (selected == Protocol::Text && kind == 'M') ||
           (selected == Protocol::Broadcast && kind == 'L');
}

std::string check_set_options(const SetOptions& options) {
    const std::pair<const char*, const std::optional<std::string>*> addresses[] = {
        {"--ip", &options.ip},       {"--mask", &options.mask}, {"--gateway", &options.gateway},
        {"--dns1", &options.dns1},   {"--dns2", &options.dns2}};
    for (const auto& [name, value] : addresses)
        if (*value && !is_ipv4(**value)) return std::string(name) + ": '" + **value + "' is not an IPv4 address";
    switch (rules::CheckCredentials(options.user, options.password)) {
        case rules::CredentialFault::Account:
            return "--user must not contain a line break or other control character";
        case rules::CredentialFault::Password:
            return "--password must not contain a line break or other control character";
        case rules::CredentialFault::None:
            break;
    }
    return {};
}

std::vector<size_t> match_target(const DeviceSource& devices, const std::string& target, Protocol protocol) {
    std::vector<size_t> found;
    if (target.empty()) return found;
    FoundDevice d;
    for (size_t i = 0; devices(i, &d); ++i) {
        if (!includes(protocol, d.kind)) continue;
        bool match = d.Address() == target;
        if (d.kind == 'M')
            match = match || field_text(d.text.device_id) == target || same_mac(field_text(d.text.mac), target);
        else
            match = match || same_mac(rules::BroadcastCameraId(d.broadcast), target);
        if (match) found.push_back(i);
    }
    return found;
}

std::vector<size_t> match_target(const std::vector<FoundDevice>& devices, const std::string& target,
                                 Protocol protocol) {
    return match_target(source_of(devices), target, protocol);
}

std::string validate_fixed_addressing(const std::string& ip, const std::string& mask,
                                      const std::string& gateway,
                                      const std::vector<std::string>& local_addresses) {
    switch (rules::CheckAddresses({false, ip, mask, gateway, "", ""}, local_addresses)) {
        case rules::AddressFault::Ip: return "the IP address must not be 0.0.0.0";
        case rules::AddressFault::Mask: return "the subnet mask must not be 0.0.0.0";
        case rules::AddressFault::Gateway: return "the gateway must not be 0.0.0.0";
        case rules::AddressFault::LocalAddress: return ip + " is an address of this PC";
        case rules::AddressFault::None: break;
    }
    return {};
}

TextUpdate plan_text_update(const DeviceRecord& current, const SetOptions& options,
                            const std::vector<std::string>& local_addresses) {
    TextUpdate plan;
    plan.record = current;
    const bool dhcp_on = options.dhcp ? *options.dhcp : current.dhcp > 0;
    if ((plan.error = check_addressing_mode(options, dhcp_on)).size()) return plan;

    const rules::AddressFields fields = address_fields(options, dhcp_on, current, current.fdns, current.sdns);
    if (!dhcp_on &&
        (plan.error = validate_fixed_addressing(fields.ip, fields.mask, fields.gateway, local_addresses)).size())
        return plan;
    if (!rules::FillNetworkRecord(plan.record, fields)) {
        // The window silently sends nothing here; say why instead.
        plan.error = "the camera reports no IP address or subnet mask: set them with --dhcp off --ip --mask";
        return plan;
    }

    if (options.http_port) {
        plan.port = std::to_string(*options.http_port);
        if (!rules::SamePort(plan.port, current) && rules::ReservedPort(plan.port)) {
            plan.error = "port " + plan.port + " is reserved by the discovery protocol and cannot be set";
            return plan;
        }
        plan.send_port = rules::PortCommandNeeded(plan.port, current);
    }
    return plan;
}

BroadcastUpdate plan_broadcast_update(const BroadcastRecord& current, const SetOptions& options,
                                      const std::vector<std::string>& local_addresses) {
    BroadcastUpdate plan;
    plan.record = current;
    if (options.dns2) {
        plan.error = "a broadcast camera has one DNS server: use --dns1";
        return plan;
    }
    const bool dhcp_on = options.dhcp ? *options.dhcp : current.address_mode != 0;
    if ((plan.error = check_addressing_mode(options, dhcp_on)).size()) return plan;

    const rules::AddressFields fields = address_fields(options, dhcp_on, current, current.dns, current.dns);
    if (!dhcp_on &&
        (plan.error = validate_fixed_addressing(fields.ip, fields.mask, fields.gateway, local_addresses)).size())
        return plan;
    const uint16_t port = options.http_port.value_or(broadcast_http_port(current));
    rules::FillBroadcastRecord(plan.record, fields, std::to_string(port), options.user, options.password);

    // Cut whole characters only, so the kept length may be shorter than the field.
    if (options.user.size() >= sizeof plan.record.user)
        plan.notes.push_back("note: the account was cut to " + std::to_string(field_text(plan.record.user).size()) +
                             " bytes, the size the camera stores");
    if (options.password.size() >= sizeof plan.record.password)
        plan.notes.push_back("note: the password was cut to " +
                             std::to_string(field_text(plan.record.password).size()) +
                             " bytes, the size the camera stores");
    return plan;
}

}  // namespace keplin::cli
