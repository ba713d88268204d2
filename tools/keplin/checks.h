// Address checks on a search's list, without the network: cameras this PC
// cannot reach by their address, addresses held twice, the address a change
// would give a camera, and whether a camera came back where it was sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/discovery.h"
#include "tools/keplin/devices.h"

namespace keplin::cli {

// A dotted IPv4 text, four decimal numbers of one to three digits up to 255,
// as host-order bits; nullopt for anything else (spaces and signs included).
// "010" is ten: cameras that pad their numbers mean decimal.
std::optional<uint32_t> parse_ipv4(std::string_view text);

// Whether `a` and `b` lie in the subnet that `mask` cuts out.
inline bool same_subnet(uint32_t a, uint32_t b, uint32_t mask) { return (a & mask) == (b & mask); }

// One IPv4 address of this PC with its mask.
struct PcAddress {
    std::string adapter;  // interface name
    std::string text;     // as the adapter table gives it
    uint32_t address = 0;
    uint32_t mask = 0;
};

// Every address of every adapter, first ones first; addresses that do not
// parse and "0.0.0.0" are left out, and so is a mask that does not parse
// (with /32 in its place, so that the address still counts as this PC's).
std::vector<PcAddress> pc_addresses(const std::vector<AdapterInfo>& adapters);

// "lan0" when one adapter has an address, "one of lan0, lan1" for several, in
// the order of `pc`; "no adapter" when none has. The engine does not say
// which adapter an answer came in on.
std::string found_through(const std::vector<PcAddress>& pc);

// The warnings of `keplin search --check`, one line each, without the
// program's prefix:
//  - a camera whose address is not a dotted IPv4 address;
//  - a camera outside every subnet of this PC, with the adapter(s) it could
//    have been found through;
//  - a camera holding one of this PC's addresses;
//  - an address held by several cameras. A text and a broadcast entry with the
//    same MAC are one camera answering by both protocols, not two.
// The list is read entry by entry, twice at most; only addresses and indexes
// are kept.
std::vector<std::string> address_warnings(const DeviceSource& devices, const std::vector<PcAddress>& pc);

// What `keplin set` thinks of the address `new_ip` for listed camera
// `target`.
struct NewAddressCheck {
    // Set when this PC holds the address: never sent.
    std::string pc_conflict;
    // Summaries of the other listed cameras that hold it (the target's own
    // entry by the other protocol excluded).
    std::vector<std::string> camera_conflicts;
    // Set when the address is outside every subnet of this PC.
    std::string unreachable;
};
NewAddressCheck check_new_address(const DeviceSource& devices, size_t target, const std::string& new_ip,
                                  const std::vector<PcAddress>& pc);

// Where a changed camera should answer after its restart. No address when it
// takes one by DHCP.
struct ExpectedCamera {
    FoundDevice before;  // as listed before the change: its kind, MAC and id
    std::optional<uint32_t> address;
    std::string address_text;  // "" with DHCP
    uint16_t http_port = 0;
};

// Whether `device` is the camera listed as `before`: the same kind, and the
// same MAC for a text camera (its device id when it sent no MAC), the same
// carried bytes for a broadcast camera.
bool same_camera(const FoundDevice& device, const FoundDevice& before);

// The HTTP port a listed camera announces; 0 when its text is not a port.
uint16_t announced_port(const FoundDevice& device);

// What the searches after a change saw of the camera so far.
struct VerifyLook {
    bool answered = false;     // the camera is listed
    bool as_expected = false;  // ...at the expected address and port
    std::string where;         // "10.0.0.5 port 80" of its last entry, when answered
    size_t next = 0;           // the first entry of the list not looked at yet
};
// Reads the entries of `devices` from look.next on (a list only grows while a
// search runs) and stops at the first entry as expected.
void look_for(const DeviceSource& devices, const ExpectedCamera& expected, VerifyLook& look);

}  // namespace keplin::cli
