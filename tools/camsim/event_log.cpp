#include "event_log.h"

#include <chrono>

namespace camsim {

namespace {
const auto kStart = std::chrono::steady_clock::now();
}

EventLog::~EventLog() {
  if (owned_ && out_) std::fclose(out_);
}

bool EventLog::open(const std::string& target) {
  if (target.empty()) return true;
  if (target == "-") {
    out_ = stderr;
    return true;
  }
  out_ = std::fopen(target.c_str(), "w");
  owned_ = out_ != nullptr;
  return out_ != nullptr;
}

void EventLog::write(nlohmann::json event) {
  if (!out_) return;
  std::chrono::duration<double> t = std::chrono::steady_clock::now() - kStart;
  event["t"] = t.count();
  // Texts from the network go in through bytesAsText; should one slip past, a
  // mangled character is better than a simulator that dies mid-test.
  std::string line = event.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace) + "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

nlohmann::json bytesAsText(std::string_view bytes) {
  std::string utf8;
  utf8.reserve(bytes.size() + bytes.size() / 8);
  for (unsigned char b : bytes) {
    if (b < 0x80) {
      utf8.push_back(static_cast<char>(b));
    } else {
      utf8.push_back(static_cast<char>(0xC0 | (b >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return utf8;
}

std::string hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

}  // namespace camsim
