// The cameras one search found, collected from the engine's threads with the
// search window's own rules (rules/devices.h): a text-protocol camera once
// per MAC text, a broadcast camera once per IP address text and identifying
// bytes, in order of arrival.
#pragma once

#include "rules/devices.h"

namespace keplin::cli {

using FoundDevice = rules::FoundDevice;
using DeviceCollector = rules::DeviceList;

}  // namespace keplin::cli
