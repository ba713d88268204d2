#include "simulator.h"

#include <arpa/inet.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "broadcast_protocol.h"
#include "text_protocol.h"
#include "udp.h"

namespace camsim {

namespace {

constexpr size_t kMaxDatagram = 65536;
// Datagrams read from one socket before the loop looks at the others again.
constexpr int kReadsPerWake = 256;

std::string endpoint(const sockaddr_in& a) {
  char ip[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
  return std::string(ip) + ":" + std::to_string(ntohs(a.sin_port));
}

sockaddr_in address(uint32_t ip_network_order, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = ip_network_order;
  a.sin_port = htons(port);
  return a;
}

// Settings come from the network and may hold any bytes.
nlohmann::json settingsJson(const Settings& s) {
  return {{"ip", bytesAsText(s.ip)},
          {"mask", bytesAsText(s.mask)},
          {"gateway", bytesAsText(s.gateway)},
          {"fdns", bytesAsText(s.fdns)},
          {"sdns", bytesAsText(s.sdns)},
          {"dhcp", s.dhcp},
          {"dnsstat", s.dns_state},
          {"http_port", s.http_port},
          {"user", bytesAsText(s.user)},
          {"password", bytesAsText(s.password)},
          {"id", bytesAsText(s.id)}};
}

}  // namespace

Simulator::Simulator(std::vector<Camera> cameras, Options options, EventLog& log)
    : cameras_(std::move(cameras)), options_(std::move(options)), log_(log), buffer_(kMaxDatagram) {}

Simulator::~Simulator() {
  for (const Socket& s : sockets_) close(s.fd);
}

bool Simulator::open(std::string& error) {
  for (uint16_t port : options_.text_ports) {
    int fd = openCameraSocket(port, true, error);
    if (fd < 0) return false;
    sockets_.push_back({fd, port, true});
  }
  if (options_.broadcast_port != 0) {
    int fd = openCameraSocket(options_.broadcast_port, false, error);
    if (fd < 0) return false;
    sockets_.push_back({fd, options_.broadcast_port, false});
  }
  return true;
}

void Simulator::run(volatile const int& stop, const sigset_t& wait_mask) {
  std::vector<pollfd> fds;
  for (const Socket& s : sockets_) fds.push_back({s.fd, POLLIN, 0});
  while (!stop) {
    Clock::time_point now = Clock::now();
    finishRestarts(now);
    sendDue(now);
    long long us = waitMicros(Clock::now());
    timespec ts{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000L};
    int n = ppoll(fds.data(), fds.size(), us < 0 ? nullptr : &ts, &wait_mask);
    if (n < 0) continue;  // EINTR: the loop condition sees the signal's flag
    for (size_t i = 0; i < fds.size(); ++i)
      if (fds[i].revents & POLLIN) receiveFrom(sockets_[i]);
  }
  log_.write({{"event", "stop"}, {"send_failures", send_failures_}});
}

void Simulator::receiveFrom(const Socket& s) {
  for (int i = 0; i < kReadsPerWake; ++i) {
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n = recvfrom(s.fd, buffer_.data(), buffer_.size(), MSG_TRUNC,
                         reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) return;  // EAGAIN: drained; any other error: try again next wake
    size_t kept = std::min(static_cast<size_t>(n), buffer_.size());
    std::string_view data(buffer_.data(), kept);
    nlohmann::json ev = {{"event", "recv"},
                         {"proto", s.text ? "text" : "broadcast"},
                         {"port", s.port},
                         {"from", endpoint(from)},
                         {"len", n}};
    if (static_cast<size_t>(n) > kept) ev["truncated"] = true;
    if (s.text) ev["text"] = bytesAsText(data);
    else ev["hex"] = hex(data);
    log_.write(std::move(ev));
    if (s.text) handleText(s, from, data);
    else handleBroadcast(s, from, data);
  }
}

void Simulator::handleText(const Socket& s, const sockaddr_in& from, std::string_view data) {
  text::Request req = text::parseRequest(data);
  Clock::time_point now = Clock::now();
  sockaddr_in group = address(inet_addr(kGroup), s.port);
  if (req.kind == text::RequestKind::Search) {
    unsigned replies = 0, silent = 0;
    for (Camera& cam : cameras_) {
      if (cam.behaviour.protocol != Protocol::Text) continue;
      if (restarting(cam, now)) {
        ++silent;
        continue;
      }
      schedule(now + cam.behaviour.reply_delay, s.fd, group, text::searchReply(cam.settings, req));
      ++replies;
    }
    log_.write({{"event", "search"}, {"proto", "text"}, {"port", s.port}, {"from", endpoint(from)},
                {"replies", replies}, {"restarting", silent}});
  } else if (req.kind == text::RequestKind::Command) {
    bool addressed = false;
    for (Camera& cam : cameras_) {
      if (cam.behaviour.protocol != Protocol::Text || !req.has_device_id ||
          cam.settings.id != req.device_id)
        continue;
      addressed = true;
      // Commands are answered during a restart too: a settings change is a
      // netconf followed at once by an httpport command.
      int status = text::commandStatus(cam, req);
      nlohmann::json id = bytesAsText(cam.settings.id);
      schedule(now + cam.behaviour.reply_delay, s.fd, group,
               text::commandResult(status, cam.settings, req));
      nlohmann::json ev = {{"event", "command"}, {"camera", id}, {"status", status},
                           {"body", bytesAsText(req.body)}};
      if (status == 200) {
        std::optional<Changes> changes = text::parseCommandBody(req.body);
        ev["known"] = changes.has_value();
        log_.write(std::move(ev));
        if (changes && !changes->empty()) accept(cam, *changes, now);
      } else {
        log_.write(std::move(ev));
      }
    }
    if (!addressed)
      log_.write({{"event", "ignored"}, {"proto", "text"}, {"reason", "no camera with this Device-ID"},
                  {"device_id", bytesAsText(req.device_id)}});
  }
}

void Simulator::handleBroadcast(const Socket& s, const sockaddr_in& from, std::string_view data) {
  Clock::time_point now = Clock::now();
  switch (broadcast::classify(data)) {
    case broadcast::RequestKind::Search: {
      unsigned replies = 0, silent = 0;
      for (Camera& cam : cameras_) {
        if (cam.behaviour.protocol != Protocol::Broadcast) continue;
        if (restarting(cam, now)) {
          ++silent;
          continue;
        }
        broadcast::Record r = broadcast::makeRecord(cam.settings);
        schedule(now + cam.behaviour.reply_delay, s.fd, from, std::string(r.begin(), r.end()));
        ++replies;
      }
      log_.write({{"event", "search"}, {"proto", "broadcast"}, {"port", s.port},
                  {"from", endpoint(from)}, {"replies", replies}, {"restarting", silent}});
      break;
    }
    case broadcast::RequestKind::Set: {
      std::array<uint8_t, 6> target = broadcast::targetMac(data);
      bool addressed = false;
      for (Camera& cam : cameras_) {
        if (cam.behaviour.protocol != Protocol::Broadcast || parseMac(cam.settings.mac) != target)
          continue;
        addressed = true;
        Clock::time_point at = now + cam.behaviour.reply_delay;
        if (cam.behaviour.nonfinal_first) {
          auto r = broadcast::makeResult(data, broadcast::kNotFinal);
          schedule(at, s.fd, from, std::string(r.begin(), r.end()));
        }
        auto r = broadcast::makeResult(data, cam.behaviour.set_result);
        schedule(at, s.fd, from, std::string(r.begin(), r.end()));
        char code[8];
        std::snprintf(code, sizeof code, "0x%04x", cam.behaviour.set_result);
        log_.write({{"event", "set"}, {"camera", cam.settings.mac}, {"from", endpoint(from)},
                    {"result", code}});
        if (cam.behaviour.set_result == broadcast::kAccepted) accept(cam, broadcast::parseSet(data), now);
      }
      if (!addressed)
        log_.write({{"event", "ignored"}, {"proto", "broadcast"}, {"reason", "no camera with this MAC"}});
      break;
    }
    case broadcast::RequestKind::Other:
      break;
  }
}

bool Simulator::restarting(const Camera& cam, Clock::time_point now) {
  return cam.restart_done && now < *cam.restart_done;
}

void Simulator::accept(Camera& cam, const Changes& changes, Clock::time_point now) {
  cam.pending.merge(changes);
  if (cam.behaviour.after_restart == AfterRestart::Never) cam.restart_done = Clock::time_point::max();
  if (!cam.restart_done) cam.restart_done = now + options_.restart_delay;
  if (options_.restart_delay.count() == 0) finishRestarts(now);
}

void Simulator::finishRestarts(Clock::time_point now) {
  for (Camera& cam : cameras_) {
    if (!cam.restart_done || now < *cam.restart_done) continue;
    cam.pending.applyTo(cam.settings);
    if (cam.behaviour.restart_ip) cam.settings.ip = *cam.behaviour.restart_ip;
    cam.pending = Changes{};
    cam.restart_done.reset();
    log_.write({{"event", "applied"}, {"camera", cam.settings.mac}, {"settings", settingsJson(cam.settings)}});
  }
}

void Simulator::schedule(Clock::time_point at, int fd, const sockaddr_in& to, std::string bytes) {
  outgoing_.push({at, next_order_++, fd, to, std::move(bytes)});
}

void Simulator::sendDue(Clock::time_point now) {
  burst_pause_ = false;
  for (unsigned sent = 0; !outgoing_.empty() && outgoing_.top().at <= now; ++sent) {
    if (sent == options_.burst) {
      burst_pause_ = true;
      return;
    }
    const Outgoing& o = outgoing_.top();
    ssize_t n = sendto(o.fd, o.bytes.data(), o.bytes.size(), 0,
                       reinterpret_cast<const sockaddr*>(&o.to), sizeof o.to);
    if (n < 0 && (errno == EAGAIN || errno == ENOBUFS || errno == EINTR)) {
      // The queue is full: leave it in place and try after a pause.
      burst_pause_ = true;
      return;
    }
    if (n < 0) {
      ++send_failures_;
      log_.write({{"event", "send_error"}, {"to", endpoint(o.to)}, {"len", o.bytes.size()},
                  {"error", std::strerror(errno)}});
    }
    outgoing_.pop();
  }
}

long long Simulator::waitMicros(Clock::time_point now) const {
  if (burst_pause_) return options_.burst_gap.count();
  Clock::time_point next = Clock::time_point::max();
  if (!outgoing_.empty()) next = outgoing_.top().at;
  for (const Camera& cam : cameras_)
    if (cam.restart_done && *cam.restart_done < next) next = *cam.restart_done;
  if (next == Clock::time_point::max()) return -1;
  if (next <= now) return 0;
  auto us = std::chrono::ceil<std::chrono::microseconds>(next - now).count();
  return std::min<long long>(us, 60000000);
}

}  // namespace camsim
