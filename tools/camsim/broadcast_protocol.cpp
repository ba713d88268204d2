#include "broadcast_protocol.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace camsim::broadcast {

namespace {

void putText(Record& r, size_t offset, size_t size, const std::string& text) {
  size_t n = std::min(text.size(), size - 1);
  std::memcpy(r.data() + offset, text.data(), n);
}

// A text field of a received record: up to its first NUL, never past the field.
std::string getText(std::string_view req, size_t offset, size_t size) {
  std::string_view field = req.substr(offset, size);
  size_t nul = field.find('\0');
  if (nul != std::string_view::npos) field = field.substr(0, nul);
  // A field without terminator loses its last byte, as it would in the record
  // the camera sends back.
  else if (!field.empty()) field = field.substr(0, field.size() - 1);
  return std::string(field);
}

}  // namespace

RequestKind classify(std::string_view d) {
  if (d.size() < 4 || d[0] != 'D' || d[1] != 'H') return RequestKind::Other;
  if (d[2] == 0x01 && d[3] == 0x01) return RequestKind::Search;
  if (d[2] == 0x02 && d[3] == 0x01 && d.size() >= kRecordSize) return RequestKind::Set;
  return RequestKind::Other;
}

Record makeRecord(const Settings& s) {
  Record r{};
  r[0] = 'D';
  r[1] = 'H';
  r[2] = 0x01;
  r[3] = 0x01;
  putText(r, kIpOffset, kAddrSize, s.ip);
  putText(r, kMaskOffset, kAddrSize, s.mask);
  putText(r, kGatewayOffset, kAddrSize, s.gateway);
  putText(r, kSdnsOffset, kAddrSize, s.sdns);
  putText(r, kDnsOffset, kAddrSize, s.fdns);
  if (auto mac = parseMac(s.mac)) std::copy(mac->begin(), mac->end(), r.begin() + kMacOffset);
  r[kPortOffset] = static_cast<uint8_t>(s.http_port & 0xff);
  r[kPortOffset + 1] = static_cast<uint8_t>((s.http_port >> 8) & 0xff);
  putText(r, kIdOffset, kIdSize, s.id);
  putText(r, kNameOffset, kNameSize, s.name);
  putText(r, kSwOffset, kVersionSize, s.sw);
  putText(r, kWebOffset, kVersionSize, s.web);
  putText(r, kUserOffset, kUserSize, s.user);
  putText(r, kPasswordOffset, kPasswordSize, s.password);
  r[kModeOffset] = s.dhcp ? 1 : 0;
  return r;
}

std::array<uint8_t, 6> targetMac(std::string_view req) {
  std::array<uint8_t, 6> mac{};
  for (size_t i = 0; i < mac.size(); ++i) mac[i] = static_cast<uint8_t>(req[kMacOffset + i]);
  return mac;
}

Changes parseSet(std::string_view req) {
  Changes c;
  int mode = static_cast<uint8_t>(req[kModeOffset]) == 1 ? 1 : 0;
  c.dhcp = mode;
  std::string ip = getText(req, kIpOffset, kAddrSize);
  if (!(mode == 1 && (ip.empty() || ip == "0.0.0.0"))) c.ip = ip;
  c.mask = getText(req, kMaskOffset, kAddrSize);
  c.gateway = getText(req, kGatewayOffset, kAddrSize);
  c.fdns = getText(req, kDnsOffset, kAddrSize);
  c.http_port = static_cast<uint8_t>(req[kPortOffset]) | static_cast<uint8_t>(req[kPortOffset + 1]) << 8;
  c.user = getText(req, kUserOffset, kUserSize);
  c.password = getText(req, kPasswordOffset, kPasswordSize);
  return c;
}

std::array<uint8_t, kResultSize> makeResult(std::string_view req, uint32_t code) {
  std::array<uint8_t, kResultSize> out{};
  std::memcpy(out.data(), req.data(), kRecordSize);
  for (int i = 0; i < 4; ++i) out[kRecordSize + i] = static_cast<uint8_t>(code >> (8 * i));
  return out;
}

}  // namespace camsim::broadcast
