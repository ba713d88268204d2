// The sockets a camera listens on, shared by the simulator and the flood
// generator: both play cameras and must hear requests the way a camera does.
#pragma once

#include <cstdint>
#include <string>

namespace camsim {

// Destination of every text-protocol request and search reply.
constexpr const char* kGroup = "239.255.255.250";

// A non-blocking UDP socket bound to `port` on every address, with large
// buffers. A text socket joins kGroup (its own multicast is not looped back);
// a broadcast socket may send to 255.255.255.255. Returns -1 with a message in
// `error` when a step fails.
int openCameraSocket(uint16_t port, bool text, std::string& error);

}  // namespace camsim
