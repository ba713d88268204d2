// Support for tests that run inside the isolated lab network made by
// tests/lab/with-lab.sh: the lab's description, programs started in camera
// namespaces, the camera simulator, and plain UDP sockets for the PC side.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace keplin::lab {

using namespace std::chrono_literals;

// The lab this process runs in, from the KEPLIN_LAB_* variables.
struct Lab {
  std::string prefix;
  std::string pcNamespace;
  std::vector<std::string> pcAddresses;   // one per PC interface
  std::vector<std::string> pcInterfaces;
  std::vector<std::string> camNamespaces;
  std::vector<std::string> camAddresses;  // same order as camNamespaces
  // Each camera's LAN: the index of the PC interface on the same bridge (all
  // 0 unless the lab was made with --separate-lans).
  std::vector<size_t> camLans;
  bool separateLans = false;
  std::string netmask;

  // nullopt when KEPLIN_LAB is not 1 or a variable is missing.
  static std::optional<Lab> fromEnvironment();
  // As fromEnvironment, but throws std::runtime_error outside a lab: a test
  // that sends packets must never fall back to the machine's network.
  static Lab require();

  // $KEPLIN_KIT_DIR/name; throws when KEPLIN_KIT_DIR is not set.
  static std::string kitPath(const std::string& name);
};

// A program started inside a network namespace through
// `ip netns exec NS argv...` (no shell). The constructor returns once the
// program printed a line "ready" on stdout and throws std::runtime_error when it
// exits first or the deadline passes. The destructor stops it (SIGTERM, then
// SIGKILL after two seconds) and reaps it.
class NamespaceProcess {
 public:
  NamespaceProcess(const std::string& ns, const std::vector<std::string>& argv,
                   std::chrono::milliseconds readyDeadline = 10s);
  ~NamespaceProcess();
  NamespaceProcess(const NamespaceProcess&) = delete;
  NamespaceProcess& operator=(const NamespaceProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  // Stops the program and returns its wait status (as waitpid gives it);
  // later calls return the same status.
  int stop();

 private:
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
  std::optional<int> status_;
};

// A datagram as the simulator logged it.
struct Datagram {
  std::string proto;  // "text" or "broadcast"
  int port = 0;       // the simulator's port it arrived on
  std::string from;   // "a.b.c.d:port"
  std::string bytes;  // exactly what arrived
};

// keplin-camsim running in camera namespace `index` of the lab, logging to a
// file in a fresh temporary folder (removed by the destructor). Cameras apply
// changes at once (--restart-delay-ms 0) unless `args` sets a restart delay.
class CamSim {
 public:
  CamSim(const Lab& lab, size_t index, std::vector<std::string> args);
  ~CamSim();

  const std::string& logPath() const { return log_; }
  // Every log line so far.
  std::vector<nlohmann::json> events() const;
  // Events with "event" equal to `name`.
  std::vector<nlohmann::json> events(const std::string& name) const;
  // Every datagram received so far, in arrival order.
  std::vector<Datagram> received() const;
  NamespaceProcess& process() { return *process_; }

 private:
  std::string dir_;
  std::string log_;
  std::optional<NamespaceProcess> process_;
};

// A UDP socket of the PC namespace, for tests that speak the protocols
// themselves. Every call throws std::runtime_error on a failing system call.
class UdpSocket {
 public:
  UdpSocket();
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // SO_REUSEADDR, then bind; port 0 picks a free port.
  void bind(const std::string& address, uint16_t port);
  void setBroadcast(bool on);
  void joinGroup(const std::string& group, const std::string& interfaceAddress = "0.0.0.0");
  void setMulticastLoop(bool on);
  void setReceiveBuffer(int bytes);
  uint16_t localPort() const;
  void sendTo(const std::string& address, uint16_t port, const std::string& bytes);

  struct Received {
    std::string bytes;
    std::string fromAddress;
    uint16_t fromPort = 0;
  };
  // The next datagram, or nullopt when none arrives within `timeout`.
  std::optional<Received> receive(std::chrono::milliseconds timeout);
  // Datagrams until `quiet` passes without one (or `limit` passes in total).
  std::vector<Received> receiveUntilQuiet(std::chrono::milliseconds quiet,
                                          std::chrono::milliseconds limit = 10s);

  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// What a program printed and how it ended.
struct ProgramOutput {
  int status = -1;  // exit status, or 128 + the signal that ended it
  std::string out;
  std::string err;
};

// Runs argv (argv[0] looked up in PATH, standard input empty) to its end in
// this namespace and collects both outputs; throws std::runtime_error when it
// cannot start.
ProgramOutput runProgram(const std::vector<std::string>& argv);

// A fresh folder under $TMPDIR (or /tmp); the caller removes it.
std::string makeTempDir();

// Polls `condition` every 10 ms until it holds or `timeout` passes.
template <typename F>
bool waitFor(F condition, std::chrono::milliseconds timeout = 5s) {
  auto until = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    struct timespec ts{0, 10 * 1000 * 1000};
    nanosleep(&ts, nullptr);
  }
  return true;
}

}  // namespace keplin::lab
