// The simulator's log: one JSON object per line, for every datagram received
// and every action taken, so that tests can check what a camera got.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace camsim {

class EventLog {
 public:
  EventLog() = default;
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  // "" logs nothing, "-" logs to stderr, anything else is a file (truncated).
  // Returns false when the file cannot be opened.
  bool open(const std::string& target);

  // Adds "t" (seconds since start) and writes the line at once: tests read the
  // log while the simulator runs.
  void write(nlohmann::json event);

  bool enabled() const { return out_ != nullptr; }

 private:
  std::FILE* out_ = nullptr;
  bool owned_ = false;
};

// Bytes as a JSON string, one character per byte (U+0000..U+00FF), so that the
// exact bytes can be recovered; written with \u escapes for everything that is
// not printable ASCII.
nlohmann::json bytesAsText(std::string_view bytes);
std::string hex(std::string_view bytes);

}  // namespace camsim
