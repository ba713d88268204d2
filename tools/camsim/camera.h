// Simulated cameras: their settings, how they are described on the command
// line ("key=value,key=value"), and the settings a command changes.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace camsim {

enum class Protocol { Text, Broadcast };

enum class CmdResult { Auto, Ok, Unauthorized, Forbidden };

// What a camera does once the restart after a change is over.
enum class AfterRestart { Back, Never };

using Clock = std::chrono::steady_clock;

// Settings a camera shows in its replies and that commands change.
struct Settings {
  std::string id;
  std::string mac;  // "AA:BB:CC:DD:EE:FF"
  std::string ip;
  std::string mask = "255.255.255.0";
  std::string gateway = "192.168.1.1";
  std::string fdns = "192.168.1.1";
  std::string sdns = "8.8.8.8";
  int dhcp = 0;
  int dns_state = 0;
  std::string name;
  std::string model = "KC-2000";
  std::string sw = "V2.1.0.7";
  std::string web = "V1.3.2";
  int http_port = 80;
  std::string user = "admin";
  std::string password = "admin";
  int ddns_enable = 0;
  std::string ddns_host;
  int ddns_port = 0;
  std::string ddns_user;
  std::string ddns_passwd;
  std::string ddns_domain;
  std::string vendor = "KEPLIN";
  std::string product = "KC";
  std::string type = "IPC";
};

// How a camera behaves, fixed for its lifetime.
struct Behaviour {
  Protocol protocol = Protocol::Text;
  CmdResult cmd_result = CmdResult::Auto;
  uint32_t set_result = 0x8000;
  bool nonfinal_first = false;
  std::chrono::milliseconds reply_delay{0};
  AfterRestart after_restart = AfterRestart::Back;
  // The address the camera shows after every restart, whatever the change
  // asked for: a camera whose DHCP server, or firmware, decided otherwise.
  std::optional<std::string> restart_ip;
};

// Changes carried by one accepted command; applied when the camera has
// finished its (simulated) restart.
struct Changes {
  std::optional<std::string> id, ip, mask, gateway, fdns, sdns, user, password;
  std::optional<std::string> ddns_host, ddns_user, ddns_passwd, ddns_domain;
  std::optional<std::string> vendor, product, type;
  std::optional<int> dhcp, dns_state, http_port, ddns_enable, ddns_port;

  bool empty() const;
  void merge(const Changes& later);
  void applyTo(Settings& s) const;
};

struct Camera {
  Settings settings;
  Behaviour behaviour;
  // While a restart is pending the camera stays silent to searches.
  std::optional<Clock::time_point> restart_done;
  Changes pending;
};

struct SpecError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One camera description as given on the command line; "count" copies are made
// with id, MAC, IP and name advanced by one per copy. `next_index` numbers
// the cameras across all definitions so that the defaults never collide.
// Throws SpecError for an unknown key or a value that cannot be used.
std::vector<Camera> expandDefinition(const std::string& definition, unsigned count, unsigned& next_index);

// Reads DEF lines from a file: blank lines and lines starting with '#' skipped.
std::vector<std::string> readDefinitionFile(const std::string& path);

// Helpers shared with the protocols.
std::optional<std::array<uint8_t, 6>> parseMac(const std::string& text);
std::string formatMac(const std::array<uint8_t, 6>& mac);
std::optional<uint32_t> parseIpv4(const std::string& text);
std::string formatIpv4(uint32_t host_order);

}  // namespace camsim
