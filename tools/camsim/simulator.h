// The simulator: every camera of one process behind one socket per port,
// driven by a single-threaded poll loop.
#pragma once

#include <netinet/in.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <queue>
#include <string>
#include <vector>

#include "camera.h"
#include "event_log.h"

namespace camsim {

struct Options {
  std::vector<uint16_t> text_ports{8002, 12109};
  uint16_t broadcast_port = 8600;  // 0: no broadcast socket
  // How long a camera that accepted a change stays silent to searches.
  std::chrono::milliseconds restart_delay{45000};
  // Replies go out in bursts of this many datagrams with a short pause between
  // bursts, so that hundreds of replies do not overrun the switch's queues.
  unsigned burst = 64;
  std::chrono::microseconds burst_gap{500};
};

class Simulator {
 public:
  Simulator(std::vector<Camera> cameras, Options options, EventLog& log);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Binds every socket; on failure returns false with a message in `error`.
  bool open(std::string& error);

  // Runs until `stop` becomes non-zero. The signals that set it must be
  // blocked by the caller; they are let through only while waiting, so that a
  // signal between the check and the wait is never lost.
  void run(volatile const int& stop, const sigset_t& wait_mask);

 private:
  struct Socket {
    int fd = -1;
    uint16_t port = 0;
    bool text = true;
  };
  struct Outgoing {
    Clock::time_point at;
    uint64_t order;
    int fd;
    sockaddr_in to;
    std::string bytes;
    bool operator>(const Outgoing& o) const {
      return at != o.at ? at > o.at : order > o.order;
    }
  };

  void receiveFrom(const Socket& s);
  void handleText(const Socket& s, const sockaddr_in& from, std::string_view data);
  void handleBroadcast(const Socket& s, const sockaddr_in& from, std::string_view data);
  void accept(Camera& cam, const Changes& changes, Clock::time_point now);
  void finishRestarts(Clock::time_point now);
  void sendDue(Clock::time_point now);
  // Microseconds until the loop has work again; -1 when only a datagram can bring any.
  long long waitMicros(Clock::time_point now) const;
  void schedule(Clock::time_point at, int fd, const sockaddr_in& to, std::string bytes);
  static bool restarting(const Camera& cam, Clock::time_point now);

  std::vector<Camera> cameras_;
  Options options_;
  EventLog& log_;
  std::vector<Socket> sockets_;
  std::priority_queue<Outgoing, std::vector<Outgoing>, std::greater<Outgoing>> outgoing_;
  uint64_t next_order_ = 0;
  bool burst_pause_ = false;
  uint64_t send_failures_ = 0;
  std::vector<char> buffer_;
};

}  // namespace camsim
