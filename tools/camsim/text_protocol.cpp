#include "text_protocol.h"

#include <cstdlib>
#include <vector>

namespace camsim::text {

namespace {

constexpr std::string_view kCrlf = "\r\n";

// Lines of the head (up to the first empty line), without their CRLF.
std::vector<std::string_view> headLines(std::string_view msg, size_t& body_start) {
  std::vector<std::string_view> lines;
  size_t pos = 0;
  body_start = msg.size();
  while (pos < msg.size()) {
    size_t end = msg.find(kCrlf, pos);
    if (end == std::string_view::npos) {
      lines.push_back(msg.substr(pos));
      return lines;
    }
    if (end == pos) {
      body_start = end + kCrlf.size();
      return lines;
    }
    lines.push_back(msg.substr(pos, end - pos));
    pos = end + kCrlf.size();
  }
  return lines;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// Content-Length as a count no larger than `limit`; nullopt when it is absent
// or not a plain decimal number.
std::optional<size_t> contentLength(std::string_view value, size_t limit) {
  if (value.empty() || value.size() > 9) return std::nullopt;
  size_t n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<size_t>(c - '0');
  }
  if (n > limit) return std::nullopt;
  return n;
}

void line(std::string& out, std::string_view key, std::string_view value) {
  out.append(key).append(value).append(kCrlf);
}

std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> out;
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t sp = s.find(' ', pos);
    if (sp == std::string_view::npos) sp = s.size();
    out.push_back(s.substr(pos, sp - pos));
    pos = sp + 1;
  }
  return out;
}

std::optional<int> number(std::string_view v, long lo, long hi) {
  if (v.empty() || v.size() > 11) return std::nullopt;
  std::string s(v);
  char* end = nullptr;
  long n = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || n < lo || n > hi) return std::nullopt;
  return static_cast<int>(n);
}

}  // namespace

Request parseRequest(std::string_view msg) {
  Request req;
  size_t body_start = 0;
  std::vector<std::string_view> lines = headLines(msg, body_start);
  if (lines.empty()) return req;
  if (lines[0] == "SEARCH * HDS/1.0") req.kind = RequestKind::Search;
  else if (lines[0] == "CMD * HDS/1.0") req.kind = RequestKind::Command;
  else return req;

  std::optional<size_t> length;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string_view l = lines[i];
    if (!req.has_cseq && startsWith(l, "CSeq:")) {
      req.has_cseq = true;
      req.cseq = l.substr(5);
    } else if (!req.has_client_id && startsWith(l, "Client-ID:")) {
      req.has_client_id = true;
      req.client_id = l.substr(10);
    } else if (!req.has_authorization && startsWith(l, "Authorization:Basic ")) {
      req.has_authorization = true;
      req.credentials = l.substr(20);
    } else if (!req.has_device_id && startsWith(l, "Device-ID:")) {
      req.has_device_id = true;
      req.device_id = l.substr(10);
    } else if (!length && startsWith(l, "Content-Length:")) {
      length = contentLength(l.substr(15), msg.size() - body_start);
    }
  }

  std::string_view rest = msg.substr(body_start);
  if (length) {
    rest = rest.substr(0, *length);
  } else {
    size_t end = rest.find(kCrlf);
    if (end != std::string_view::npos) rest = rest.substr(0, end);
  }
  req.body = std::string(rest);
  return req;
}

std::string searchReply(const Settings& s, const Request& req) {
  std::string body;
  line(body, "Device-ID=", s.id);
  line(body, "Device-Model=", s.model);
  line(body, "Software-Version=", s.sw);
  line(body, "Web-Version=", s.web);
  line(body, "Device-Name=", s.name);
  line(body, "Http-Port=", std::to_string(s.http_port));
  line(body, "IP=", s.ip);
  line(body, "MASK=", s.mask);
  line(body, "MAC=", s.mac);
  line(body, "Gateway=", s.gateway);
  line(body, "Dhcp=", std::to_string(s.dhcp));
  line(body, "Ddns=", std::to_string(s.dns_state));
  line(body, "Fdns=", s.fdns);
  line(body, "Sdns=", s.sdns);
  line(body, "DDNS-Enable=", std::to_string(s.ddns_enable));
  line(body, "DDNS-Host=", s.ddns_host);
  line(body, "DDNS-Port=", std::to_string(s.ddns_port));
  line(body, "DDNS-User=", s.ddns_user);
  line(body, "DDNS-Passwd=", s.ddns_passwd);
  line(body, "DDNS-Domain=", s.ddns_domain);
  line(body, "C_Vendor=", s.vendor);
  line(body, "C_Product=", s.product);
  line(body, "Device-Type=", s.type);

  std::string out = "HDS/1.0 200 OK\r\n";
  if (req.has_cseq) line(out, "CSeq:", req.cseq);
  if (req.has_client_id) line(out, "Client-ID:", req.client_id);
  line(out, "Content-Type:", "text/HDP");
  line(out, "Content-Length:", std::to_string(body.size()));
  out.append(kCrlf).append(body);
  return out;
}

int commandStatus(const Camera& cam, const Request& req) {
  switch (cam.behaviour.cmd_result) {
    case CmdResult::Ok: return 200;
    case CmdResult::Unauthorized: return 401;
    case CmdResult::Forbidden: return 403;
    case CmdResult::Auto: break;
  }
  const Settings& s = cam.settings;
  bool match = req.has_authorization && req.credentials == s.user + ":" + s.password;
  return match ? 200 : 401;
}

std::string commandResult(int status, const Settings& s, const Request& req) {
  std::string out;
  if (status == 200) out = "MCTP/1.0 200 OK\r\n";
  else if (status == 403) out = "HDS/1.0 403 Forbidden\r\n";
  else out = "HDS/1.0 401 Unauthorized\r\n";
  if (req.has_cseq) line(out, "CSeq:", req.cseq);
  if (req.has_client_id) line(out, "Client-ID:", req.client_id);
  line(out, "Device-ID:", s.id);
  line(out, "Content-Length:", "0");
  out.append(kCrlf);
  return out;
}

std::optional<Changes> parseCommandBody(std::string_view body) {
  // A body may end with the CRLF CRLF of the message when Content-Length was
  // missing; a command line is one line.
  size_t end = body.find_first_of("\r\n");
  if (end != std::string_view::npos) body = body.substr(0, end);
  std::vector<std::string_view> w = words(body);
  if (w.size() < 2 || w[1] != "set") return std::nullopt;
  std::string_view cmd = w[0];
  if (cmd != "netconf" && cmd != "httpport" && cmd != "ddnsset" && cmd != "devidset" &&
      cmd != "identifyset")
    return std::nullopt;

  Changes c;
  for (size_t i = 2; i + 1 < w.size(); ++i) {
    std::string_view opt = w[i];
    if (opt.empty() || opt[0] != '-') continue;
    std::string value(w[++i]);
    if (cmd == "netconf") {
      if (opt == "-ipaddr") c.ip = value;
      else if (opt == "-netmask") c.mask = value;
      else if (opt == "-gateway") c.gateway = value;
      else if (opt == "-fdnsip") c.fdns = value;
      else if (opt == "-sdnsip") c.sdns = value;
      else if (opt == "-dhcp" && (value == "on" || value == "off")) c.dhcp = value == "on" ? 1 : 0;
      else if (opt == "-dnsstat") c.dns_state = number(value, -2147483647L - 1, 2147483647L);
      // -hwaddr names the camera; its hardware address does not change.
    } else if (cmd == "httpport") {
      if (opt == "-httpport") c.http_port = number(value, 1, 65535);
    } else if (cmd == "ddnsset") {
      if (opt == "-our_enable") c.ddns_enable = number(value, -2147483647L - 1, 2147483647L);
      else if (opt == "-our_server") c.ddns_host = value;
      else if (opt == "-our_port") c.ddns_port = number(value, -2147483647L - 1, 2147483647L);
      else if (opt == "-our_uname") c.ddns_user = value;
      else if (opt == "-our_passwd") c.ddns_passwd = value;
      else if (opt == "-our_domain") c.ddns_domain = value;
    } else if (cmd == "devidset") {
      if (opt == "-devid") c.id = value;
    } else if (cmd == "identifyset") {
      if (opt == "-cvendor") c.vendor = value;
      else if (opt == "-cproduct") c.product = value;
      else if (opt == "-product") c.type = value;
    }
  }
  return c;
}

}  // namespace camsim::text
