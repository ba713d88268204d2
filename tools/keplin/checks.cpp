#include "tools/keplin/checks.h"

#include <algorithm>
#include <cctype>

#include "tools/keplin/format.h"
#include "tools/keplin/text.h"

namespace keplin::cli {

namespace {

// A summary per line is enough to find the cameras; a factory address held by
// hundreds of cameras is not listed whole.
constexpr size_t kListedPerAddress = 5;

std::string dotted(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
           std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

// What makes entries one camera across the protocols: a text camera's MAC
// (its device id when it sent none), a broadcast camera's carried bytes, which
// a camera answering by both protocols reports as its MAC.
std::string identity(const FoundDevice& device) {
    std::string id = device.kind == 'M' ? field_text(device.text.mac) : rules::BroadcastCameraId(device.broadcast);
    if (id.empty()) return "id:" + field_text(device.text.device_id);
    for (char& c : id) {
        if (c == '-') c = ':';
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return "mac:" + id;
}

const PcAddress* pc_holding(uint32_t address, const std::vector<PcAddress>& pc) {
    for (const PcAddress& p : pc)
        if (p.address == address) return &p;
    return nullptr;
}

bool inside_some_subnet(uint32_t address, const std::vector<PcAddress>& pc) {
    return std::any_of(pc.begin(), pc.end(), [&](const PcAddress& p) { return same_subnet(address, p.address, p.mask); });
}

std::string outside_message(const std::vector<PcAddress>& pc) {
    return "outside every subnet of this PC's adapters (its web page cannot be opened from here); found through " +
           found_through(pc);
}

}  // namespace

std::optional<uint32_t> parse_ipv4(std::string_view text) {
    uint32_t address = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') return std::nullopt;
            ++at;
        }
        size_t digits = 0;
        unsigned value = 0;
        while (at < text.size() && digits < 4 && text[at] >= '0' && text[at] <= '9') {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return std::nullopt;
        address = (address << 8) | value;
    }
    if (at != text.size()) return std::nullopt;
    return address;
}

std::vector<PcAddress> pc_addresses(const std::vector<AdapterInfo>& adapters) {
    std::vector<PcAddress> out;
    for (const AdapterInfo& adapter : adapters) {
        for (const AdapterAddress& a : adapter.addresses) {
            const std::optional<uint32_t> address = parse_ipv4(a.address);
            if (!address || *address == 0) continue;
            out.push_back({adapter.name, a.address, *address, parse_ipv4(a.mask).value_or(0xFFFFFFFFu)});
        }
    }
    return out;
}

std::string found_through(const std::vector<PcAddress>& pc) {
    std::vector<std::string> names;
    for (const PcAddress& p : pc)
        if (std::find(names.begin(), names.end(), p.adapter) == names.end()) names.push_back(p.adapter);
    if (names.empty()) return "no adapter";
    if (names.size() == 1) return names.front();
    std::string out = "one of ";
    for (size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + names[i];
    return out;
}

std::vector<std::string> address_warnings(const DeviceSource& devices, const std::vector<PcAddress>& pc) {
    struct Holder {
        uint32_t address;
        size_t index;
        std::string identity;
    };
    std::vector<std::string> warnings;
    std::vector<Holder> holders;
    FoundDevice d;
    for (size_t i = 0; devices(i, &d); ++i) {
        const std::optional<uint32_t> address = parse_ipv4(d.Address());
        if (!address) {
            warnings.push_back(device_summary(d) + ": its address is not a dotted IPv4 address");
            continue;
        }
        if (const PcAddress* mine = pc_holding(*address, pc)) {
            warnings.push_back(device_summary(d) + " holds this PC's address " + mine->text + " (" + mine->adapter + ")");
        } else if (!pc.empty() && !inside_some_subnet(*address, pc)) {
            warnings.push_back(device_summary(d) + " is " + outside_message(pc));
        }
        // Cameras without an address yet do not compete for one.
        if (*address != 0) holders.push_back({*address, i, identity(d)});
    }

    std::stable_sort(holders.begin(), holders.end(),
                     [](const Holder& a, const Holder& b) { return a.address < b.address; });
    for (size_t first = 0; first < holders.size();) {
        size_t end = first;
        std::vector<std::string> cameras;
        while (end < holders.size() && holders[end].address == holders[first].address) {
            if (std::find(cameras.begin(), cameras.end(), holders[end].identity) == cameras.end())
                cameras.push_back(holders[end].identity);
            ++end;
        }
        if (cameras.size() > 1) {
            std::string line = dotted(holders[first].address) + " is held by " + std::to_string(cameras.size()) +
                               " cameras: ";
            for (size_t k = first; k < end && k - first < kListedPerAddress; ++k) {
                if (k > first) line += ", ";
                line += devices(holders[k].index, &d) ? device_summary(d) : "?";
            }
            if (end - first > kListedPerAddress)
                line += " and " + std::to_string(end - first - kListedPerAddress) + " more";
            warnings.push_back(line);
        }
        first = end;
    }
    return warnings;
}

NewAddressCheck check_new_address(const DeviceSource& devices, size_t target, const std::string& new_ip,
                                  const std::vector<PcAddress>& pc) {
    NewAddressCheck check;
    const std::optional<uint32_t> address = parse_ipv4(new_ip);
    if (!address) return check;
    if (const PcAddress* mine = pc_holding(*address, pc)) {
        check.pc_conflict = new_ip + " is an address of this PC (" + mine->adapter + ")";
        return check;
    }
    FoundDevice d;
    std::string target_identity;
    if (devices(target, &d)) target_identity = identity(d);
    for (size_t i = 0; devices(i, &d); ++i) {
        if (i == target || parse_ipv4(d.Address()) != address || identity(d) == target_identity) continue;
        check.camera_conflicts.push_back(device_summary(d));
    }
    if (!pc.empty() && !inside_some_subnet(*address, pc))
        check.unreachable = new_ip + " is outside every subnet of this PC's adapters: the camera's web page "
                            "could not be opened from here at its new address";
    return check;
}

bool same_camera(const FoundDevice& device, const FoundDevice& before) {
    return device.kind == before.kind && identity(device) == identity(before);
}

uint16_t announced_port(const FoundDevice& device) {
    if (device.kind != 'M') return broadcast_http_port(device.broadcast);
    const std::string text = field_text(device.text.http_port);
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    const unsigned long port = std::stoul(text);
    return port <= 65535 ? static_cast<uint16_t>(port) : 0;
}

void look_for(const DeviceSource& devices, const ExpectedCamera& expected, VerifyLook& look) {
    FoundDevice d;
    for (; !look.as_expected && devices(look.next, &d); ++look.next) {
        if (!same_camera(d, expected.before)) continue;
        const uint16_t port = announced_port(d);
        look.answered = true;
        look.where = printable(to_utf8(d.Address())) + " port " + std::to_string(port);
        look.as_expected = port == expected.http_port &&
                           (!expected.address || parse_ipv4(d.Address()) == expected.address);
    }
}

}  // namespace keplin::cli
