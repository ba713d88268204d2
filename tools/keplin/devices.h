// The cameras one search found, collected from the engine's threads with the
// search window's own rules (rules/devices.h): a text-protocol camera once
// per MAC text, a broadcast camera once per IP address text and identifying
// bytes, in order of arrival.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "rules/devices.h"

namespace keplin::cli {

using FoundDevice = rules::FoundDevice;
using DeviceCollector = rules::DeviceList;

// The cameras to print or search, handed out one at a time so that a long
// list is never copied whole: false when there is no entry `index`.
using DeviceSource = std::function<bool(std::size_t index, FoundDevice* device)>;

// Sources reading a list in memory or a collector; both must outlive the source.
inline DeviceSource source_of(const std::vector<FoundDevice>& devices) {
    return [&devices](std::size_t index, FoundDevice* device) {
        if (index >= devices.size()) return false;
        *device = devices[index];
        return true;
    };
}

inline DeviceSource source_of(const DeviceCollector& collector) {
    return [&collector](std::size_t index, FoundDevice* device) {
        return collector.Get(static_cast<int>(index), device);
    };
}

}  // namespace keplin::cli
