// The camera side of the binary broadcast protocol: a 4-byte search request
// answered with a 324-byte record, and a 324-byte set request answered with the
// record followed by a 32-bit little-endian result code.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "camera.h"

namespace camsim::broadcast {

constexpr size_t kRecordSize = 324;
constexpr size_t kResultSize = 328;

constexpr uint32_t kAccepted = 0x8000;
constexpr uint32_t kNotFinal = 0x0001;

// Field offsets and sizes of the record.
constexpr size_t kIpOffset = 4, kMaskOffset = 20, kGatewayOffset = 36, kSdnsOffset = 52,
                 kDnsOffset = 68, kMacOffset = 84, kPortOffset = 90, kIdOffset = 92,
                 kNameOffset = 124, kSwOffset = 204, kWebOffset = 220, kUserOffset = 236,
                 kPasswordOffset = 268, kModeOffset = 301;
constexpr size_t kAddrSize = 16, kIdSize = 32, kNameSize = 80, kVersionSize = 16, kUserSize = 32,
                 kPasswordSize = 33;

using Record = std::array<uint8_t, kRecordSize>;

enum class RequestKind { Search, Set, Other };

RequestKind classify(std::string_view datagram);

// The camera's record; texts longer than their field are cut so that every
// field stays NUL-terminated.
Record makeRecord(const Settings& s);

// The MAC a set request is addressed to (offset 84).
std::array<uint8_t, 6> targetMac(std::string_view set_request);

// The settings a set request carries. A request for automatic addressing
// keeps the camera's address when it carries "0.0.0.0" or nothing.
Changes parseSet(std::string_view set_request);

// The first 324 bytes of the set request followed by `code`.
std::array<uint8_t, kResultSize> makeResult(std::string_view set_request, uint32_t code);

}  // namespace camsim::broadcast
