// The hostile datagrams keplin-flood sends: answers to a running search that
// a PC must survive without crashing, overrunning a buffer or losing the
// genuine cameras among them. Deterministic for a given seed.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>

namespace flood {

// Kinds of text-protocol datagram. All but Foreign carry the client
// identifier of the running search, so that they get past its first check.
enum class TextKind {
  Junk,      // random bytes around a Client-ID line
  Overlong,  // a search reply whose values are far longer than their fields
  Bogus,     // a well-formed search reply from a camera that does not exist
  Result,    // a command result for a sequence number never sent (0 among them)
  Malformed, // key lines cut short: no CRLF, lone quotes, 40-digit numbers
  Foreign,   // a reply for another client identifier
  Count
};

enum class BroadcastKind {
  Random,  // random bytes of any size from 0 to kMaxBroadcastSize
  Record,  // a 324-byte record whose texts fill their fields without a NUL
  Count
};

constexpr size_t kMaxBroadcastSize = 2048;

const char* kindName(TextKind kind);
const char* kindName(BroadcastKind kind);

struct Datagram {
  std::string bytes;
  int kind = 0;  // a TextKind or a BroadcastKind
};

class HostileTraffic {
 public:
  // `client_id` and `cseq` come from the search request being answered.
  HostileTraffic(uint64_t seed, std::string client_id, std::string cseq);

  Datagram nextText();
  Datagram nextBroadcast();

 private:
  std::string randomBytes(size_t n);
  std::string randomText(size_t n);
  std::string randomMac();
  std::string randomIp();
  size_t upTo(size_t n);  // uniform in [0, n]

  std::mt19937_64 rng_;
  std::string client_id_;
  std::string cseq_;
};

}  // namespace flood
