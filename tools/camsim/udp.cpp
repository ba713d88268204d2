#include "udp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace camsim {

namespace {

std::string lastError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

int openCameraSocket(uint16_t port, bool text, std::string& error) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = lastError("socket");
    return -1;
  }
  int on = 1;
  // Large buffers: one search can make hundreds of cameras answer at once.
  int bufsize = 4 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufsize, sizeof bufsize);
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bufsize, sizeof bufsize);
  if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0 ||
      (!text && setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) < 0)) {
    error = lastError("setsockopt");
    close(fd);
    return -1;
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0) {
    error = lastError("bind to port " + std::to_string(port));
    close(fd);
    return -1;
  }
  if (text) {
    ip_mreq mreq{};
    inet_pton(AF_INET, kGroup, &mreq.imr_multiaddr);
    mreq.imr_interface.s_addr = htonl(INADDR_ANY);
    if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) < 0) {
      error = lastError("joining " + std::string(kGroup) + " on port " + std::to_string(port));
      close(fd);
      return -1;
    }
    unsigned char loop = 0;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
  }
  return fd;
}

}  // namespace camsim
