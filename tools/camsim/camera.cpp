#include "camera.h"

#include <cstdio>
#include <fstream>
#include <map>

namespace camsim {

namespace {

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

int parseInt(const std::string& key, const std::string& v, long lo, long hi) {
  try {
    size_t used = 0;
    long n = std::stol(v, &used, 0);
    if (used == v.size() && n >= lo && n <= hi) return static_cast<int>(n);
  } catch (const std::exception&) {
  }
  throw SpecError(key + "=" + v + ": expected a number from " + std::to_string(lo) + " to " +
                  std::to_string(hi));
}

bool parseFlag(const std::string& key, const std::string& v) {
  return parseInt(key, v, 0, 1) == 1;
}

// Advances the decimal number at the end of `text` by `n`, keeping its width;
// a text without trailing digits gets the number appended.
std::string advanceTrailingNumber(const std::string& text, unsigned n) {
  if (n == 0) return text;
  size_t start = text.size();
  while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9') --start;
  if (start == text.size()) return text + std::to_string(n);
  std::string digits = text.substr(start);
  // Add digit by digit so that numbers wider than 64 bits still work.
  unsigned carry = n;
  for (size_t i = digits.size(); i-- > 0 && carry;) {
    unsigned d = static_cast<unsigned>(digits[i] - '0') + carry % 10;
    carry /= 10;
    if (d >= 10) {
      d -= 10;
      ++carry;
    }
    digits[i] = static_cast<char>('0' + d);
  }
  return text.substr(0, start) + digits;
}

std::string defaultId(unsigned index) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "KLSIM%027u", index);
  return buf;
}

}  // namespace

std::optional<std::array<uint8_t, 6>> parseMac(const std::string& text) {
  std::array<uint8_t, 6> mac{};
  unsigned v[6];
  char sep[5];
  char tail;
  if (std::sscanf(text.c_str(), "%2x%c%2x%c%2x%c%2x%c%2x%c%2x%c", &v[0], &sep[0], &v[1], &sep[1],
                  &v[2], &sep[2], &v[3], &sep[3], &v[4], &sep[4], &v[5], &tail) != 11)
    return std::nullopt;
  for (char c : sep)
    if (c != ':' && c != '-') return std::nullopt;
  if (text.size() != 17) return std::nullopt;
  for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(v[i]);
  return mac;
}

std::string formatMac(const std::array<uint8_t, 6>& mac) {
  char buf[18];
  std::snprintf(buf, sizeof buf, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
  return buf;
}

std::optional<uint32_t> parseIpv4(const std::string& text) {
  unsigned a, b, c, d;
  char tail;
  if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &tail) != 4) return std::nullopt;
  if (a > 255 || b > 255 || c > 255 || d > 255) return std::nullopt;
  return (a << 24) | (b << 16) | (c << 8) | d;
}

std::string formatIpv4(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", v >> 24, (v >> 16) & 255, (v >> 8) & 255, v & 255);
  return buf;
}

bool Changes::empty() const {
  return !id && !ip && !mask && !gateway && !fdns && !sdns && !user && !password && !ddns_host &&
         !ddns_user && !ddns_passwd && !ddns_domain && !vendor && !product && !type && !dhcp &&
         !dns_state && !http_port && !ddns_enable && !ddns_port;
}

void Changes::merge(const Changes& later) {
  auto take = [](auto& mine, const auto& theirs) {
    if (theirs) mine = theirs;
  };
  take(id, later.id), take(ip, later.ip), take(mask, later.mask), take(gateway, later.gateway);
  take(fdns, later.fdns), take(sdns, later.sdns), take(user, later.user);
  take(password, later.password), take(ddns_host, later.ddns_host);
  take(ddns_user, later.ddns_user), take(ddns_passwd, later.ddns_passwd);
  take(ddns_domain, later.ddns_domain), take(vendor, later.vendor), take(product, later.product);
  take(type, later.type), take(dhcp, later.dhcp), take(dns_state, later.dns_state);
  take(http_port, later.http_port), take(ddns_enable, later.ddns_enable);
  take(ddns_port, later.ddns_port);
}

void Changes::applyTo(Settings& s) const {
  auto put = [](auto& field, const auto& value) {
    if (value) field = *value;
  };
  put(s.id, id), put(s.ip, ip), put(s.mask, mask), put(s.gateway, gateway), put(s.fdns, fdns);
  put(s.sdns, sdns), put(s.user, user), put(s.password, password), put(s.ddns_host, ddns_host);
  put(s.ddns_user, ddns_user), put(s.ddns_passwd, ddns_passwd), put(s.ddns_domain, ddns_domain);
  put(s.vendor, vendor), put(s.product, product), put(s.type, type), put(s.dhcp, dhcp);
  put(s.dns_state, dns_state), put(s.http_port, http_port), put(s.ddns_enable, ddns_enable);
  put(s.ddns_port, ddns_port);
}

std::vector<Camera> expandDefinition(const std::string& definition, unsigned count, unsigned& next_index) {
  std::map<std::string, std::string> kv;
  size_t pos = 0;
  while (pos <= definition.size()) {
    size_t comma = definition.find(',', pos);
    if (comma == std::string::npos) comma = definition.size();
    std::string item = trim(definition.substr(pos, comma - pos));
    pos = comma + 1;
    if (item.empty()) continue;
    size_t eq = item.find('=');
    if (eq == std::string::npos) throw SpecError("'" + item + "': expected key=value");
    std::string key = trim(item.substr(0, eq));
    if (kv.count(key)) throw SpecError("key '" + key + "' given twice");
    kv[key] = item.substr(eq + 1);
  }

  Camera base;
  std::optional<std::string> id, mac, ip, name;
  uint32_t ip_step = 1;
  for (const auto& [key, v] : kv) {
    Settings& s = base.settings;
    Behaviour& b = base.behaviour;
    if (key == "kind") {
      if (v == "text") b.protocol = Protocol::Text;
      else if (v == "broadcast") b.protocol = Protocol::Broadcast;
      else throw SpecError("kind=" + v + ": expected text or broadcast");
    } else if (key == "id") id = v;
    else if (key == "mac") {
      if (!parseMac(v)) throw SpecError("mac=" + v + ": expected six hex bytes like 02:4B:53:00:00:01");
      mac = v;
    } else if (key == "ip") {
      if (!parseIpv4(v)) throw SpecError("ip=" + v + ": expected a dotted IPv4 address");
      ip = v;
    } else if (key == "ip_step") ip_step = static_cast<uint32_t>(parseInt(key, v, 0, 65535));
    else if (key == "name") name = v;
    else if (key == "mask") s.mask = v;
    else if (key == "gateway") s.gateway = v;
    else if (key == "fdns") s.fdns = v;
    else if (key == "sdns") s.sdns = v;
    else if (key == "dhcp") s.dhcp = parseFlag(key, v) ? 1 : 0;
    else if (key == "dnsstat") s.dns_state = parseInt(key, v, -2147483647L - 1, 2147483647L);
    else if (key == "model") s.model = v;
    else if (key == "sw") s.sw = v;
    else if (key == "web") s.web = v;
    else if (key == "http_port") s.http_port = parseInt(key, v, 0, 65535);
    else if (key == "user") s.user = v;
    else if (key == "password") s.password = v;
    else if (key == "ddns_enable") s.ddns_enable = parseFlag(key, v) ? 1 : 0;
    else if (key == "ddns_host") s.ddns_host = v;
    else if (key == "ddns_user") s.ddns_user = v;
    else if (key == "ddns_passwd") s.ddns_passwd = v;
    else if (key == "vendor") s.vendor = v;
    else if (key == "product") s.product = v;
    else if (key == "type") s.type = v;
    else if (key == "cmd_result") {
      if (v == "auto") b.cmd_result = CmdResult::Auto;
      else if (v == "200") b.cmd_result = CmdResult::Ok;
      else if (v == "401") b.cmd_result = CmdResult::Unauthorized;
      else if (v == "403") b.cmd_result = CmdResult::Forbidden;
      else throw SpecError("cmd_result=" + v + ": expected auto, 200, 401 or 403");
    } else if (key == "set_result") {
      if (v == "accepted" || v == "0x8000") b.set_result = 0x8000;
      else if (v == "0x8001") b.set_result = 0x8001;
      else if (v == "0x8002") b.set_result = 0x8002;
      else throw SpecError("set_result=" + v + ": expected accepted, 0x8001 or 0x8002");
    } else if (key == "nonfinal_first") b.nonfinal_first = parseFlag(key, v);
    else if (key == "after_restart") {
      if (v == "back") b.after_restart = AfterRestart::Back;
      else if (v == "never") b.after_restart = AfterRestart::Never;
      else throw SpecError("after_restart=" + v + ": expected back or never");
    } else if (key == "restart_ip") {
      if (!parseIpv4(v)) throw SpecError("restart_ip=" + v + ": expected a dotted IPv4 address");
      b.restart_ip = v;
    } else if (key == "reply_delay_ms") b.reply_delay = std::chrono::milliseconds(parseInt(key, v, 0, 600000));
    else throw SpecError("unknown key '" + key + "' (see --help)");
  }

  std::vector<Camera> cams;
  const unsigned first_index = next_index;
  for (unsigned k = 0; k < count; ++k) {
    unsigned index = next_index++;
    Camera c = base;
    c.settings.id = id ? advanceTrailingNumber(*id, k) : defaultId(index);
    c.settings.name = name ? advanceTrailingNumber(*name, k) : "Camera " + std::to_string(index);

    uint64_t mac_value = 0;
    if (mac) {
      std::array<uint8_t, 6> given = *parseMac(*mac);
      for (uint8_t byte : given) mac_value = (mac_value << 8) | byte;
      mac_value += k;
    } else {
      mac_value = 0x024B53000000ULL + index;  // locally administered range
    }
    std::array<uint8_t, 6> mac_bytes{};
    for (int i = 5; i >= 0; --i, mac_value >>= 8) mac_bytes[i] = static_cast<uint8_t>(mac_value);
    c.settings.mac = formatMac(mac_bytes);

    // The default addresses start at 192.168.1.100 for the first camera.
    uint32_t ip_base = ip ? *parseIpv4(*ip) : (192u << 24 | 168u << 16 | 1u << 8) + 99 + first_index;
    c.settings.ip = formatIpv4(ip_base + k * ip_step);
    cams.push_back(std::move(c));
  }
  return cams;
}

std::vector<std::string> readDefinitionFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw SpecError("cannot read " + path);
  std::vector<std::string> definitions;
  std::string line;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    definitions.push_back(line);
  }
  return definitions;
}

}  // namespace camsim
