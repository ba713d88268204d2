#include "traffic.h"

#include <algorithm>
#include <utility>

#include "broadcast_protocol.h"
#include "camera.h"
#include "text_protocol.h"

namespace flood {

namespace {

// Out of 100: how often each text kind is sent, in TextKind order.
constexpr std::array<int, static_cast<size_t>(TextKind::Count)> kTextWeights{25, 20, 20, 15, 15, 5};
// Out of 100: random bytes, then records.
constexpr int kRandomBroadcastWeight = 60;

constexpr const char* kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace

const char* kindName(TextKind kind) {
  switch (kind) {
    case TextKind::Junk: return "junk";
    case TextKind::Overlong: return "overlong";
    case TextKind::Bogus: return "bogus_reply";
    case TextKind::Result: return "bogus_result";
    case TextKind::Malformed: return "malformed";
    case TextKind::Foreign: return "foreign";
    case TextKind::Count: break;
  }
  return "?";
}

const char* kindName(BroadcastKind kind) {
  switch (kind) {
    case BroadcastKind::Random: return "random";
    case BroadcastKind::Record: return "unterminated_record";
    case BroadcastKind::Count: break;
  }
  return "?";
}

HostileTraffic::HostileTraffic(uint64_t seed, std::string client_id, std::string cseq)
    : rng_(seed), client_id_(std::move(client_id)), cseq_(std::move(cseq)) {}

size_t HostileTraffic::upTo(size_t n) {
  return std::uniform_int_distribution<size_t>(0, n)(rng_);
}

std::string HostileTraffic::randomBytes(size_t n) {
  std::string out(n, '\0');
  uint64_t bits = 0;
  for (size_t i = 0; i < n; ++i, bits >>= 8) {
    if (i % 8 == 0) bits = rng_();
    out[i] = static_cast<char>(bits & 0xFF);
  }
  return out;
}

std::string HostileTraffic::randomText(size_t n) {
  // Eight letters from one draw; the slight bias toward the first letters
  // does not matter here, speed does.
  std::string out(n, ' ');
  uint64_t bits = 0;
  for (size_t i = 0; i < n; ++i, bits >>= 8) {
    if (i % 8 == 0) bits = rng_();
    out[i] = kLetters[(bits & 0xFF) % 52];
  }
  return out;
}

std::string HostileTraffic::randomMac() {
  std::array<uint8_t, 6> mac{};
  for (uint8_t& b : mac) b = static_cast<uint8_t>(rng_() & 0xFF);
  mac[0] = static_cast<uint8_t>((mac[0] & 0xFC) | 0x02);  // locally administered, unicast
  return camsim::formatMac(mac);
}

std::string HostileTraffic::randomIp() {
  return camsim::formatIpv4(static_cast<uint32_t>(rng_()));
}

Datagram HostileTraffic::nextText() {
  int roll = static_cast<int>(upTo(99));
  size_t kind = 0;
  while (roll >= kTextWeights[kind]) roll -= kTextWeights[kind++];

  camsim::text::Request req;
  req.has_cseq = req.has_client_id = true;
  req.cseq = cseq_;
  req.client_id = client_id_;
  const std::string id_line = "Client-ID:" + client_id_ + "\r\n";

  camsim::Settings s;
  s.id = randomText(32);
  s.mac = randomMac();
  s.ip = randomIp();
  s.name = randomText(1 + upTo(39));

  std::string bytes;
  switch (static_cast<TextKind>(kind)) {
    case TextKind::Junk: {
      bytes = randomBytes(upTo(1500));
      bytes.insert(upTo(std::min<size_t>(bytes.size(), 1000)), id_line);
      break;
    }
    case TextKind::Overlong: {
      // Every value longer than any field; the reply may outgrow the
      // receiver's buffer, which then holds only its head.
      s.id = randomText(33 + upTo(400));
      s.name = randomText(41 + upTo(1500));
      s.mac = s.mac + randomText(1 + upTo(300));
      s.ip = s.ip + "." + randomText(upTo(200));
      s.mask = randomText(16 + upTo(100));
      s.model = randomText(41 + upTo(300));
      s.ddns_host = randomText(32 + upTo(500));
      s.vendor = randomText(32 + upTo(200));
      bytes = camsim::text::searchReply(s, req);
      break;
    }
    case TextKind::Bogus:
      bytes = camsim::text::searchReply(s, req);
      break;
    case TextKind::Result: {
      static constexpr int kStatus[] = {200, 401, 403};
      const std::string cseqs[] = {"0", std::to_string(rng_() % 4000000000ULL), "-1", "99999999999999999999"};
      req.cseq = cseqs[upTo(3)];
      bytes = camsim::text::commandResult(kStatus[upTo(2)], s, req);
      break;
    }
    case TextKind::Malformed: {
      const std::string mac_line = "MAC=" + s.mac + "\r\n";
      switch (upTo(5)) {
        case 0:  // the required key without its CRLF
          bytes = "HDS/1.0 200 OK\r\n" + id_line + mac_line + "Device-ID=" + randomText(upTo(64));
          break;
        case 1:  // values that are a lone quote
          bytes = id_line + "Device-ID=\"\r\nIP=\"\r\nDevice-Name=\"\r\n" + mac_line;
          break;
        case 2:  // numbers far beyond 32 bits and beyond the 31-character limit
          bytes = id_line + "Device-ID=" + s.id + "\r\nDhcp=" + std::string(40, '9') + "\r\nDDNS-Port=-" +
                  std::string(upTo(60), '9') + "\r\nDdns=  +" + randomText(upTo(40)) + "\r\n" + mac_line;
          break;
        case 3:  // a command result whose CSeq never ends
          bytes = "MCTP/1.0 200 OK\r\n" + id_line + "CSeq:" + std::string(upTo(200), '1');
          break;
        case 4:  // keys inside values, a key twice, NUL bytes in values
          bytes = id_line + "Device-Name=IP=1.2.3.4\r\nDevice-ID=" + s.id + "\r\nDevice-ID=second\r\nIP=" +
                  std::string("10.0\0.1", 7) + "\r\n" + mac_line + "Gateway=" + randomBytes(upTo(64)) + "\r\n";
          break;
        default:  // the client identifier cut short by the end of the datagram
          bytes = "HDS/1.0 200 OK\r\nDevice-ID=" + s.id + "\r\n" + mac_line + "Client-ID:" + client_id_;
          break;
      }
      break;
    }
    case TextKind::Foreign: {
      req.client_id = randomText(32);
      bytes = camsim::text::searchReply(s, req);
      break;
    }
    case TextKind::Count:
      break;
  }
  return {std::move(bytes), static_cast<int>(kind)};
}

Datagram HostileTraffic::nextBroadcast() {
  if (static_cast<int>(upTo(99)) < kRandomBroadcastWeight)
    return {randomBytes(upTo(kMaxBroadcastSize)), static_cast<int>(BroadcastKind::Random)};

  namespace bc = camsim::broadcast;
  camsim::Settings s;
  s.mac = randomMac();
  s.ip = randomIp();
  bc::Record r = bc::makeRecord(s);
  // Texts that fill their fields to the last byte, so that a reader relying on
  // a terminating NUL runs into the next field.
  static constexpr std::pair<size_t, size_t> kTexts[] = {
      {bc::kMaskOffset, bc::kAddrSize}, {bc::kGatewayOffset, bc::kAddrSize},
      {bc::kDnsOffset, bc::kAddrSize},  {bc::kNameOffset, bc::kNameSize},
      {bc::kSwOffset, bc::kVersionSize}, {bc::kWebOffset, bc::kVersionSize},
      {bc::kUserOffset, bc::kUserSize}, {bc::kPasswordOffset, bc::kPasswordSize}};
  for (const auto& [offset, size] : kTexts) {
    const std::string text = randomText(size);
    std::copy(text.begin(), text.end(), r.begin() + static_cast<long>(offset));
  }
  return {std::string(r.begin(), r.end()), static_cast<int>(BroadcastKind::Record)};
}

}  // namespace flood
