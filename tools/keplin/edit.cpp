#include "tools/keplin/edit.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cctype>

#include "tools/keplin/text.h"

namespace keplin::cli {

namespace {

const char kZero[] = "0.0.0.0";

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

bool any_address_option(const SetOptions& o) {
    return o.ip || o.mask || o.gateway || o.dns1 || o.dns2;
}

// Addressing options need fixed addressing, as the dialog locks its address
// fields while the automatic box is checked.
std::string check_addressing_mode(const SetOptions& options, bool dhcp_on) {
    if (!dhcp_on || !any_address_option(options)) return {};
    if (options.dhcp) return "--dhcp on cannot be combined with --ip, --mask, --gateway, --dns1 or --dns2";
    return "the camera takes its address by DHCP: add --dhcp off to set its addresses";
}

// An address text as the dialog's update sends it: "0.0.0.0" means none.
std::string sent_address(const std::string& text) {
    return text == kZero ? std::string() : text;
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
    if (options.user.find_first_of("\r\n") != std::string::npos) return "--user must not contain a line break";
    if (options.password.find_first_of("\r\n") != std::string::npos)
        return "--password must not contain a line break";
    return {};
}

std::vector<size_t> match_target(const std::vector<FoundDevice>& devices, const std::string& target,
                                 Protocol protocol) {
    std::vector<size_t> found;
    if (target.empty()) return found;
    for (size_t i = 0; i < devices.size(); ++i) {
        const FoundDevice& d = devices[i];
        if (!includes(protocol, d.kind)) continue;
        bool match = d.ip() == target;
        if (d.kind == 'M')
            match = match || field_text(d.text.device_id) == target ||
                    (!field_text(d.text.mac).empty() && normalised_mac(field_text(d.text.mac)) == normalised_mac(target));
        if (match) found.push_back(i);
    }
    return found;
}

std::string validate_fixed_addressing(const std::string& ip, const std::string& mask,
                                      const std::string& gateway,
                                      const std::vector<std::string>& local_addresses) {
    if (ip.empty() || ip == kZero) return "the IP address must not be 0.0.0.0";
    if (mask.empty() || mask == kZero) return "the subnet mask must not be 0.0.0.0";
    if (gateway.empty() || gateway == kZero) return "the gateway must not be 0.0.0.0";
    if (std::find(local_addresses.begin(), local_addresses.end(), ip) != local_addresses.end())
        return ip + " is an address of this PC";
    return {};
}

TextUpdate plan_text_update(const DeviceRecord& current, const SetOptions& options,
                            const std::vector<std::string>& local_addresses) {
    TextUpdate plan;
    plan.record = current;
    DeviceRecord& r = plan.record;
    const bool dhcp_on = options.dhcp ? *options.dhcp : current.dhcp > 0;
    if ((plan.error = check_addressing_mode(options, dhcp_on)).size()) return plan;

    std::string ip = options.ip.value_or(field_text(current.ip));
    std::string mask = options.mask.value_or(field_text(current.mask));
    std::string gateway = options.gateway.value_or(field_text(current.gateway));
    if (!dhcp_on && (plan.error = validate_fixed_addressing(ip, mask, gateway, local_addresses)).size())
        return plan;

    copy_text_field(r.ip, sizeof r.ip, sent_address(ip).c_str());
    copy_text_field(r.mask, sizeof r.mask, sent_address(mask).c_str());
    copy_text_field(r.gateway, sizeof r.gateway, sent_address(gateway).c_str());
    if (field_text(r.ip).empty() || field_text(r.mask).empty()) {
        // The dialog silently sends nothing here; say why instead.
        plan.error = "the camera reports no IP address or subnet mask: set them with --dhcp off --ip --mask";
        return plan;
    }
    copy_text_field(r.fdns, sizeof r.fdns, sent_address(options.dns1.value_or(field_text(current.fdns))).c_str());
    copy_text_field(r.sdns, sizeof r.sdns, sent_address(options.dns2.value_or(field_text(current.sdns))).c_str());
    r.dhcp = dhcp_on ? 1 : 0;
    r.dns_state = r.dhcp;

    if (options.http_port) {
        plan.port = std::to_string(*options.http_port);
        bool unchanged = strcasecmp(plan.port.c_str(), field_text(current.http_port).c_str()) == 0;
        if (!unchanged && (plan.port == "8002" || plan.port == "55555")) {
            plan.error = "port " + plan.port + " is reserved by the discovery protocol and cannot be set";
            return plan;
        }
        plan.send_port = !unchanged;
    }
    return plan;
}

BroadcastUpdate plan_broadcast_update(const BroadcastRecord& current, const SetOptions& options,
                                      const std::vector<std::string>& local_addresses) {
    BroadcastUpdate plan;
    plan.record = current;
    BroadcastRecord& r = plan.record;
    if (options.dns2) {
        plan.error = "a broadcast camera has one DNS server: use --dns1";
        return plan;
    }
    const bool dhcp_on = options.dhcp ? *options.dhcp : current.address_mode != 0;
    if ((plan.error = check_addressing_mode(options, dhcp_on)).size()) return plan;

    if (dhcp_on) {
        copy_text_field(r.ip, sizeof r.ip, kZero);
        r.address_mode = 1;
    } else {
        std::string ip = options.ip.value_or(field_text(current.ip));
        std::string mask = options.mask.value_or(field_text(current.mask));
        std::string gateway = options.gateway.value_or(field_text(current.gateway));
        if ((plan.error = validate_fixed_addressing(ip, mask, gateway, local_addresses)).size()) return plan;
        r.address_mode = 0;
        // Fields not given keep the camera's own bytes.
        if (options.ip) copy_text_field(r.ip, sizeof r.ip, options.ip->c_str());
        if (options.mask) copy_text_field(r.mask, sizeof r.mask, options.mask->c_str());
        if (options.gateway) copy_text_field(r.gateway, sizeof r.gateway, options.gateway->c_str());
        if (options.dns1) copy_text_field(r.dns, sizeof r.dns, options.dns1->c_str());
    }
    if (options.http_port) set_broadcast_http_port(r, *options.http_port);

    copy_text_field(r.user, sizeof r.user, options.user.c_str());
    copy_text_field(r.password, sizeof r.password, options.password.c_str());
    if (options.user.size() >= sizeof r.user)
        plan.notes.push_back("note: the account was cut to " + std::to_string(sizeof r.user - 1) +
                             " bytes, the size the camera stores");
    if (options.password.size() >= sizeof r.password)
        plan.notes.push_back("note: the password was cut to " + std::to_string(sizeof r.password - 1) +
                             " bytes, the size the camera stores");
    return plan;
}

}  // namespace keplin::cli
