// keplin-flood: plays a crowd of hostile cameras. It waits for a search to
// start, like a camera does, then answers it with a paced stream of junk,
// over-long values, bogus replies and bogus command results on the text
// protocol and random replies of every size on the broadcast protocol.
// Run it only inside a camera namespace of the isolated lab (tests/lab).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "broadcast_protocol.h"
#include "text_protocol.h"
#include "traffic.h"
#include "udp.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t g_stop = 0;

void onStopSignal(int) { g_stop = 1; }

struct Socket {
  int fd = -1;
  uint16_t port = 0;
  bool text = true;
};

// What the running search told us about itself.
struct Search {
  std::optional<std::string> client_id;
  std::string cseq;
  std::optional<sockaddr_in> probe;  // where the broadcast probe listens
};

struct Tally {
  std::array<uint64_t, static_cast<size_t>(flood::TextKind::Count)> text{};
  std::array<uint64_t, static_cast<size_t>(flood::BroadcastKind::Count)> broadcast{};
  uint64_t bytes = 0;
  uint64_t retries = 0;  // sends repeated because the socket's queue was full
  uint64_t failed = 0;
  double seconds = 0;
  uint64_t total() const {
    uint64_t n = 0;
    for (uint64_t k : text) n += k;
    for (uint64_t k : broadcast) n += k;
    return n;
  }
};

sockaddr_in address(const char* ip, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  inet_pton(AF_INET, ip, &a.sin_addr);
  a.sin_port = htons(port);
  return a;
}

// Reads every datagram waiting on `s` and notes what a search request says.
void listen(const Socket& s, Search& search) {
  static char buffer[65536];
  for (;;) {
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n = recvfrom(s.fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) return;
    std::string_view data(buffer, static_cast<size_t>(n));
    if (s.text) {
      camsim::text::Request req = camsim::text::parseRequest(data);
      if (req.kind == camsim::text::RequestKind::Search && req.has_client_id && !search.client_id) {
        search.client_id = req.client_id;
        search.cseq = req.cseq;
      }
    } else if (camsim::broadcast::classify(data) == camsim::broadcast::RequestKind::Search && !search.probe) {
      search.probe = from;
    }
  }
}

// Waits until every protocol that is to be flooded has started a search.
bool awaitSearch(const std::vector<Socket>& sockets, bool need_text, bool need_broadcast,
                 std::chrono::milliseconds deadline, Search& search) {
  std::vector<pollfd> fds;
  for (const Socket& s : sockets) fds.push_back({s.fd, POLLIN, 0});
  const Clock::time_point until = Clock::now() + deadline;
  while (!g_stop && ((need_text && !search.client_id) || (need_broadcast && !search.probe))) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return false;
    if (poll(fds.data(), fds.size(), static_cast<int>(std::min<long long>(left, 100))) < 0 && errno != EINTR)
      return false;
    for (size_t i = 0; i < fds.size(); ++i)
      if (fds[i].revents & POLLIN) listen(sockets[i], search);
  }
  return !g_stop;
}

// Sends one datagram; waits for room when the socket's queue is full.
bool sendOne(int fd, const std::string& bytes, const sockaddr_in& to, Tally& tally) {
  for (int attempt = 0;; ++attempt) {
    if (sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0) {
      tally.bytes += bytes.size();
      return true;
    }
    if ((errno != EAGAIN && errno != ENOBUFS && errno != EINTR) || attempt == 99 || g_stop) break;
    ++tally.retries;
    pollfd p{fd, POLLOUT, 0};
    poll(&p, 1, 10);
  }
  ++tally.failed;
  return false;
}

std::string reportJson(uint64_t seed, const Tally& t) {
  std::ostringstream out;
  out << "{\"seed\":" << seed << ",\"sent\":" << t.total() << ",\"bytes\":" << t.bytes
      << ",\"seconds\":" << t.seconds << ",\"retries\":" << t.retries << ",\"failed\":" << t.failed
      << ",\"text\":{";
  for (size_t k = 0; k < t.text.size(); ++k)
    out << (k ? "," : "") << '"' << flood::kindName(static_cast<flood::TextKind>(k)) << "\":" << t.text[k];
  out << "},\"broadcast\":{";
  for (size_t k = 0; k < t.broadcast.size(); ++k)
    out << (k ? "," : "") << '"' << flood::kindName(static_cast<flood::BroadcastKind>(k))
        << "\":" << t.broadcast[k];
  out << "}}";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Answers a running camera search with a paced flood of hostile datagrams (lab only)."};
  uint64_t text_count = 100000;
  uint64_t broadcast_count = 20000;
  unsigned rate = 40000;
  std::optional<uint64_t> seed_option;
  std::vector<uint16_t> text_ports{8002, 12109};
  uint16_t broadcast_port = 8600;
  unsigned wait_ms = 30000;
  unsigned tail_ms = 0;
  std::string report_path;
  app.add_option("--text", text_count, "Hostile text-protocol datagrams")->capture_default_str();
  app.add_option("--broadcast", broadcast_count, "Random broadcast-protocol replies")->capture_default_str();
  app.add_option("--rate", rate, "Datagrams per second, both protocols together")
      ->capture_default_str()
      ->check(CLI::Range(1u, 10000000u));
  app.add_option("--seed", seed_option, "Seed of the generator (default: random, printed)");
  app.add_option("--text-port", text_ports, "Text protocol ports, answered in turn")->capture_default_str();
  app.add_option("--broadcast-port", broadcast_port, "Port the broadcast search arrives on")
      ->capture_default_str();
  app.add_option("--wait-ms", wait_ms, "How long to wait for the search to start")->capture_default_str();
  app.add_option("--tail-ms", tail_ms,
                 "After the flood, one datagram of each protocol every 250 ms for this long")
      ->capture_default_str();
  app.add_option("--report", report_path, "Also write the summary as one JSON line to this file");
  app.footer(R"(
Prints "seed N", then "ready" once its sockets listen; waits for a text SEARCH
(for its Client-ID and CSeq) and a broadcast search (for the probe's address),
then sends the flood and prints what it sent. With --tail-ms the network
does not fall silent after the flood: a trickle follows until the time is up
or SIGTERM. Text datagrams go to
239.255.255.250 on each --text-port in turn; broadcast ones to the probe.
Exit 0 after the flood (or SIGTERM/SIGINT), 1 when no search came in time
or a socket could not be opened, 2 on bad arguments.)");
  CLI11_PARSE(app, argc, argv);

  const uint64_t seed = seed_option.value_or(std::random_device{}());
  std::printf("seed %llu\n", static_cast<unsigned long long>(seed));

  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  const bool need_text = text_count > 0 && !text_ports.empty();
  const bool need_broadcast = broadcast_count > 0;
  std::vector<Socket> sockets;
  std::string error;
  for (uint16_t port : need_text ? text_ports : std::vector<uint16_t>{}) {
    int fd = camsim::openCameraSocket(port, true, error);
    if (fd < 0) {
      std::cerr << "keplin-flood: " << error << "\n";
      return 1;
    }
    sockets.push_back({fd, port, true});
  }
  if (need_broadcast) {
    int fd = camsim::openCameraSocket(broadcast_port, false, error);
    if (fd < 0) {
      std::cerr << "keplin-flood: " << error << "\n";
      return 1;
    }
    sockets.push_back({fd, broadcast_port, false});
  }
  std::printf("ready\n");
  std::fflush(stdout);

  Search search;
  if (!awaitSearch(sockets, need_text, need_broadcast, std::chrono::milliseconds(wait_ms), search) && !g_stop) {
    std::cerr << "keplin-flood: no search " << (need_text && !search.client_id ? "request" : "of the broadcast probe")
              << " arrived within " << wait_ms << " ms\n";
    return 1;
  }

  flood::HostileTraffic traffic(seed, search.client_id.value_or(""), search.cseq);
  std::vector<std::pair<int, sockaddr_in>> text_targets;
  for (const Socket& s : sockets)
    if (s.text) text_targets.push_back({s.fd, address(camsim::kGroup, s.port)});
  const int broadcast_fd = need_broadcast ? sockets.back().fd : -1;

  Tally tally;
  const uint64_t total = (need_text ? text_count : 0) + (need_broadcast ? broadcast_count : 0);
  const uint64_t broadcasts = need_broadcast ? broadcast_count : 0;
  const Clock::time_point start = Clock::now();
  for (uint64_t i = 0; i < total && !g_stop; ++i) {
    // Keep to the pace; a sender that fell behind catches up without sleeping.
    const auto due = start + std::chrono::nanoseconds(i * 1000000000ULL / rate);
    if (due > Clock::now() + std::chrono::microseconds(200)) std::this_thread::sleep_until(due);
    // The broadcast replies are spread evenly among the text ones.
    const bool broadcast = (i + 1) * broadcasts / total > i * broadcasts / total;
    if (broadcast) {
      flood::Datagram d = traffic.nextBroadcast();
      if (sendOne(broadcast_fd, d.bytes, *search.probe, tally)) ++tally.broadcast[static_cast<size_t>(d.kind)];
    } else {
      flood::Datagram d = traffic.nextText();
      const auto& [fd, to] = text_targets[i % text_targets.size()];
      if (sendOne(fd, d.bytes, to, tally)) ++tally.text[static_cast<size_t>(d.kind)];
    }
  }
  const Clock::time_point tail_end = Clock::now() + std::chrono::milliseconds(tail_ms);
  while (!g_stop && Clock::now() + std::chrono::milliseconds(250) <= tail_end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    if (g_stop) break;
    if (need_text) {
      flood::Datagram d = traffic.nextText();
      const auto& [fd, to] = text_targets.front();
      if (sendOne(fd, d.bytes, to, tally)) ++tally.text[static_cast<size_t>(d.kind)];
    }
    if (need_broadcast) {
      flood::Datagram d = traffic.nextBroadcast();
      if (sendOne(broadcast_fd, d.bytes, *search.probe, tally)) ++tally.broadcast[static_cast<size_t>(d.kind)];
    }
  }
  tally.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (const Socket& s : sockets) close(s.fd);

  std::printf("sent %llu datagrams (%llu bytes) in %.2f s, %.0f/s; %llu sends repeated, %llu failed\n",
              static_cast<unsigned long long>(tally.total()), static_cast<unsigned long long>(tally.bytes),
              tally.seconds, tally.seconds > 0 ? tally.total() / tally.seconds : 0.0,
              static_cast<unsigned long long>(tally.retries), static_cast<unsigned long long>(tally.failed));
  std::printf("text:");
  for (size_t k = 0; k < tally.text.size(); ++k)
    std::printf(" %s %llu", flood::kindName(static_cast<flood::TextKind>(k)),
                static_cast<unsigned long long>(tally.text[k]));
  std::printf("\nbroadcast:");
  for (size_t k = 0; k < tally.broadcast.size(); ++k)
    std::printf(" %s %llu", flood::kindName(static_cast<flood::BroadcastKind>(k)),
                static_cast<unsigned long long>(tally.broadcast[k]));
  std::printf("\n");
  std::fflush(stdout);
  if (!report_path.empty()) {
    std::ofstream report(report_path);
    report << reportJson(seed, tally) << "\n";
    if (!report) {
      std::cerr << "keplin-flood: cannot write " << report_path << "\n";
      return 1;
    }
  }
  return 0;
}
