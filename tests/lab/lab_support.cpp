#include "lab_support.h"

#include "platform/shell.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace keplin::lab {

namespace {

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string::npos) comma = text.size();
    if (comma > pos) out.push_back(text.substr(pos, comma - pos));
    pos = comma + 1;
  }
  return out;
}

std::optional<std::string> env(const char* name) {
  const char* v = std::getenv(name);
  if (!v) return std::nullopt;
  return std::string(v);
}

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

sockaddr_in makeAddress(const std::string& address, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1)
    throw std::runtime_error("not an IPv4 address: " + address);
  return a;
}

// Turns the simulator's one-character-per-byte text back into bytes.
std::string latin1Bytes(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80 || i + 1 == utf8.size()) {
      out.push_back(static_cast<char>(c));
    } else {
      auto next = static_cast<unsigned char>(utf8[++i]);
      out.push_back(static_cast<char>(((c & 0x03) << 6) | (next & 0x3F)));
    }
  }
  return out;
}

std::string fromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

}  // namespace

std::optional<Lab> Lab::fromEnvironment() {
  if (env("KEPLIN_LAB") != "1") return std::nullopt;
  auto prefix = env("KEPLIN_LAB_PREFIX");
  auto pcNs = env("KEPLIN_LAB_PC_NS");
  auto pcAddrs = env("KEPLIN_LAB_PC_ADDRS");
  auto pcIfaces = env("KEPLIN_LAB_PC_IFACES");
  auto camNs = env("KEPLIN_LAB_CAM_NS");
  auto camAddrs = env("KEPLIN_LAB_CAM_ADDRS");
  auto mask = env("KEPLIN_LAB_NETMASK");
  if (!prefix || !pcNs || !pcAddrs || !pcIfaces || !camNs || !camAddrs || !mask) return std::nullopt;
  Lab lab;
  lab.prefix = *prefix;
  lab.pcNamespace = *pcNs;
  lab.pcAddresses = splitList(*pcAddrs);
  lab.pcInterfaces = splitList(*pcIfaces);
  lab.camNamespaces = splitList(*camNs);
  lab.camAddresses = splitList(*camAddrs);
  lab.netmask = *mask;
  lab.separateLans = env("KEPLIN_LAB_SEPARATE_LANS").value_or("0") == "1";
  if (auto lans = env("KEPLIN_LAB_CAM_LANS")) {
    for (const std::string& lan : splitList(*lans)) {
      if (lan.empty() || lan.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
      lab.camLans.push_back(std::stoul(lan));
    }
  } else {
    lab.camLans.assign(lab.camNamespaces.size(), 0);
  }
  if (lab.pcAddresses.empty() || lab.camNamespaces.size() != lab.camAddresses.size() ||
      lab.camLans.size() != lab.camNamespaces.size())
    return std::nullopt;
  return lab;
}

Lab Lab::require() {
  auto lab = fromEnvironment();
  if (!lab)
    throw std::runtime_error(
        "not inside the lab network: run through tests/lab/with-lab.sh (tests that send packets "
        "never use the machine's own network)");
  return *lab;
}

std::string Lab::kitPath(const std::string& name) {
  auto dir = env("KEPLIN_KIT_DIR");
  if (!dir || dir->empty()) throw std::runtime_error("KEPLIN_KIT_DIR is not set");
  return *dir + "/" + name;
}

NamespaceProcess::NamespaceProcess(const std::string& ns, const std::vector<std::string>& argv,
                                   std::chrono::milliseconds readyDeadline) {
  std::vector<std::string> full = {"ip", "netns", "exec", ns};
  full.insert(full.end(), argv.begin(), argv.end());
  std::vector<char*> cargv;
  for (auto& a : full) cargv.push_back(a.data());
  cargv.push_back(nullptr);

  int pipefd[2];
  if (pipe2(pipefd, O_CLOEXEC) < 0) fail("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  const char* ip = "ip";
  for (const char* candidate : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
    if (access(candidate, X_OK) == 0) {
      ip = candidate;
      break;
    }
  int rc = posix_spawnp(&pid_, ip, &actions, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipefd[1]);
  if (rc != 0) {
    close(pipefd[0]);
    errno = rc;
    fail("cannot start ip netns exec");
  }
  stdout_fd_ = pipefd[0];

  std::string seen;
  auto until = std::chrono::steady_clock::now() + readyDeadline;
  std::string what = argv.empty() ? std::string("program") : argv[0];
  while (seen.find("ready\n") == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      stop();
      throw std::runtime_error(what + " in " + ns + " did not print \"ready\" in time; it printed: " + seen);
    }
    pollfd p{stdout_fd_, POLLIN, 0};
    int n = poll(&p, 1, static_cast<int>(left.count()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) continue;
    char buf[256];
    ssize_t got = read(stdout_fd_, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      int status = stop();
      throw std::runtime_error(what + " in " + ns + " ended before it was ready (wait status " +
                               std::to_string(status) + "); it printed: " + seen);
    }
    seen.append(buf, static_cast<size_t>(got));
  }
}

NamespaceProcess::~NamespaceProcess() {
  stop();
}

bool NamespaceProcess::running() {
  if (status_ || pid_ <= 0) return false;
  int status = 0;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    status_ = status;
    return false;
  }
  return true;
}

int NamespaceProcess::stop() {
  if (!status_ && pid_ > 0) {
    if (running()) kill(pid_, SIGTERM);
    auto until = std::chrono::steady_clock::now() + 2s;
    while (running() && std::chrono::steady_clock::now() < until) {
      struct timespec ts{0, 10 * 1000 * 1000};
      nanosleep(&ts, nullptr);
    }
    if (!status_) {
      kill(pid_, SIGKILL);
      int status = 0;
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      status_ = status;
    }
  }
  if (stdout_fd_ >= 0) {
    close(stdout_fd_);
    stdout_fd_ = -1;
  }
  return status_.value_or(-1);
}

CamSim::CamSim(const Lab& lab, size_t index, std::vector<std::string> args) {
  if (index >= lab.camNamespaces.size())
    throw std::runtime_error("the lab has no camera namespace " + std::to_string(index));
  dir_ = makeTempDir();
  log_ = dir_ + "/camsim.log";
  std::vector<std::string> argv = {Lab::kitPath("keplin-camsim"), "--log", log_};
  // Tests do not wait for a real camera's restart unless they ask for one.
  if (std::find(args.begin(), args.end(), "--restart-delay-ms") == args.end())
    argv.insert(argv.end(), {"--restart-delay-ms", "0"});
  argv.insert(argv.end(), args.begin(), args.end());
  try {
    process_.emplace(lab.camNamespaces[index], argv);
  } catch (...) {
    std::filesystem::remove_all(dir_);
    throw;
  }
}

CamSim::~CamSim() {
  process_.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::vector<nlohmann::json> CamSim::events() const {
  std::vector<nlohmann::json> out;
  std::ifstream in(log_);
  std::string line;
  while (std::getline(in, line)) {
    // The last line may still be being written.
    auto j = nlohmann::json::parse(line, nullptr, false);
    if (!j.is_discarded()) out.push_back(std::move(j));
  }
  return out;
}

std::vector<nlohmann::json> CamSim::events(const std::string& name) const {
  std::vector<nlohmann::json> out;
  for (auto& e : events())
    if (e.value("event", "") == name) out.push_back(e);
  return out;
}

std::vector<Datagram> CamSim::received() const {
  std::vector<Datagram> out;
  for (const auto& e : events("recv")) {
    Datagram d;
    d.proto = e.value("proto", "");
    d.port = e.value("port", 0);
    d.from = e.value("from", "");
    if (e.contains("text")) d.bytes = latin1Bytes(e["text"].get<std::string>());
    else d.bytes = fromHex(e.value("hex", ""));
    out.push_back(std::move(d));
  }
  return out;
}

UdpSocket::UdpSocket() {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) fail("socket");
}

UdpSocket::~UdpSocket() {
  if (fd_ >= 0) close(fd_);
}

void UdpSocket::bind(const std::string& address, uint16_t port) {
  int on = 1;
  if (setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) fail("SO_REUSEADDR");
  sockaddr_in a = makeAddress(address, port);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0)
    fail("bind " + address + ":" + std::to_string(port));
}

void UdpSocket::setBroadcast(bool on) {
  int v = on;
  if (setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &v, sizeof v) < 0) fail("SO_BROADCAST");
}

void UdpSocket::joinGroup(const std::string& group, const std::string& interfaceAddress) {
  ip_mreq m{};
  m.imr_multiaddr = makeAddress(group, 0).sin_addr;
  m.imr_interface = makeAddress(interfaceAddress, 0).sin_addr;
  if (setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) < 0) fail("IP_ADD_MEMBERSHIP");
}

void UdpSocket::setMulticastLoop(bool on) {
  unsigned char v = on;
  if (setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_LOOP, &v, sizeof v) < 0) fail("IP_MULTICAST_LOOP");
}

void UdpSocket::setReceiveBuffer(int bytes) {
  // SO_RCVBUFFORCE passes the system limit; as root in the lab it works.
  if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) < 0 &&
      setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) < 0)
    fail("SO_RCVBUF");
}

uint16_t UdpSocket::localPort() const {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) < 0) fail("getsockname");
  return ntohs(a.sin_port);
}

void UdpSocket::sendTo(const std::string& address, uint16_t port, const std::string& bytes) {
  sockaddr_in a = makeAddress(address, port);
  ssize_t n = sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  if (n != static_cast<ssize_t>(bytes.size())) fail("sendto " + address + ":" + std::to_string(port));
}

std::optional<UdpSocket::Received> UdpSocket::receive(std::chrono::milliseconds timeout) {
  auto until = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    int n = poll(&p, 1, std::max<int>(0, static_cast<int>(left.count())));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("poll");
    if (n == 0) return std::nullopt;
    std::string buf(65536, '\0');
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t got = recvfrom(fd_, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail("recvfrom");
    buf.resize(static_cast<size_t>(got));
    char ip[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
    return Received{std::move(buf), ip, ntohs(from.sin_port)};
  }
}

std::vector<UdpSocket::Received> UdpSocket::receiveUntilQuiet(std::chrono::milliseconds quiet,
                                                              std::chrono::milliseconds limit) {
  std::vector<Received> out;
  auto until = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < until) {
    auto r = receive(quiet);
    if (!r) break;
    out.push_back(std::move(*r));
  }
  return out;
}

ProgramOutput runProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) throw std::runtime_error("runProgram: no program");
  platform::CapturedOutput captured = platform::RunAndCapture(argv);
  if (!captured.started) throw std::runtime_error("cannot start " + argv[0]);
  ProgramOutput result;
  result.status = captured.status;
  result.out = std::move(captured.out);
  result.err = std::move(captured.err);
  return result;
}

std::string makeTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/keplin-lab-XXXXXX";
  if (!mkdtemp(tmpl.data())) fail("mkdtemp");
  return tmpl;
}

}  // namespace keplin::lab
