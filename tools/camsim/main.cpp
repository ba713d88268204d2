// keplin-camsim: simulates any number of network cameras of the text
// (multicast) and broadcast discovery protocols, for tests, benchmarks and
// demos. Run it only inside the isolated lab network (tests/lab).
#include <signal.h>

#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>

#include "camera.h"
#include "event_log.h"
#include "simulator.h"

namespace {

volatile int g_stop = 0;

void onStopSignal(int) { g_stop = 1; }

const char* kSpecHelp = R"(
CAMERA DEFINITION (DEF): key=value pairs separated by commas, e.g.
  --camera kind=text,ip=10.0.0.5,name=Lobby,password=secret
  kind            text (multicast protocol, default) or broadcast
  id              device id (text cameras answer commands addressed to it;
                  32 characters expected), default KLSIM + 27 digits
  mac             AA:BB:CC:DD:EE:FF, default 02:4B:53:00:xx:xx
  ip, mask, gateway, fdns, sdns
                  network settings shown in replies (ip default 192.168.1.100+)
  ip_step         how far ip advances per camera with --count, default 1;
                  ip_step=0 gives every camera of the DEF the same address, as
                  cameras fresh from the factory have (they are told apart by
                  MAC and device id)
  dhcp            0/1 (broadcast: address mode at offset 301)
  dnsstat         DNS state number ("Ddns=" line)
  name, model, sw, web
                  device name, model, system and application versions
  vendor, product, type
                  C_Vendor, C_Product, Device-Type lines
  http_port       HTTP port, default 80
  user, password  viewing account, default admin/admin
  ddns_enable, ddns_host, ddns_user, ddns_passwd
                  DDNS settings shown in text replies (default off and empty)
  cmd_result      auto|200|401|403: status of every CMD; auto = 200 when
                  "Authorization:Basic user:password" matches, else 401
  set_result      accepted|0x8001|0x8002: result code of a broadcast set
  nonfinal_first  0/1: send a result with the non-final code 0x0001 first
  reply_delay_ms  delay before each reply of this camera
  after_restart   back|never: never = once it accepted a change the camera
                  never answers a search again (a camera lost in its restart)
  restart_ip      the address the camera comes back at after every restart,
                  whatever the change asked for

With --count N every definition makes N cameras; id, name (trailing number) and MAC
advance by one per camera, IP by ip_step. Unset ids, MACs and names are unique.

TEXT PROTOCOL: on "SEARCH * HDS/1.0" every text camera answers by multicast to
239.255.255.250 on the port the request came in on, echoing CSeq and
Client-ID. On "CMD * HDS/1.0" the camera named by "Device-ID:" answers with
"MCTP/1.0 200 OK", "HDS/1.0 401 Unauthorized" or "HDS/1.0 403 Forbidden"; on
200 it applies netconf, httpport, ddnsset, devidset and identifyset commands.

BROADCAST PROTOCOL: on 44 48 01 01 every broadcast camera sends its 324-byte
record to the requester; on a 324-byte set request (44 48 02 01) the camera
whose MAC is at offset 84 answers with the request plus a 32-bit result code.

A camera that accepted a change restarts: for --restart-delay-ms (default
45000, a real camera's restart time; tests pass a short value) it does not
answer searches (commands are still answered and their changes merged), then
shows the new settings, its new address included.

LOG: one JSON object per line: "recv" for every datagram (text protocol bytes
in "text", one character per byte; broadcast bytes in "hex"), "search" with
the number of "replies" sent, "command", "set", "applied", "ignored",
"send_error" and "stop".

Prints "ready" on stdout once every socket is bound; runs until SIGTERM or
SIGINT and exits 0. Exit 1: a socket could not be bound; 2: bad arguments.
)";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Simulates network cameras that answer discovery searches and configuration commands."};
  app.footer(kSpecHelp);

  std::vector<std::string> definitions;
  std::string config;
  unsigned count = 1;
  std::vector<uint16_t> text_ports;
  uint16_t broadcast_port = 8600;
  std::string log_target;
  camsim::Options options;
  unsigned restart_delay_ms = static_cast<unsigned>(options.restart_delay.count());
  unsigned burst_gap_us = static_cast<unsigned>(options.burst_gap.count());

  app.add_option("--camera", definitions, "A camera DEF (repeatable; see below)");
  app.add_option("--config", config, "File with one camera DEF per line, # for comments")
      ->check(CLI::ExistingFile);
  app.add_option("--count", count, "Cameras made from each DEF")->check(CLI::Range(1u, 100000u));
  app.add_option("--text-port", text_ports, "Text protocol port (repeatable; default 8002 and 12109)");
  app.add_option("--broadcast-port", broadcast_port, "Broadcast protocol port, 0 for none")
      ->capture_default_str();
  app.add_option("--restart-delay-ms", restart_delay_ms,
                 "Time a camera stays silent after accepting a change")
      ->capture_default_str();
  app.add_option("--log", log_target, "Log file, or - for stderr");
  app.add_option("--burst", options.burst, "Replies sent back to back before a pause")
      ->capture_default_str()
      ->check(CLI::Range(1u, 100000u));
  app.add_option("--burst-gap-us", burst_gap_us, "Pause between bursts of replies")
      ->capture_default_str();

  CLI11_PARSE(app, argc, argv);

  std::vector<camsim::Camera> cameras;
  try {
    if (!config.empty())
      for (const std::string& definition : camsim::readDefinitionFile(config)) definitions.push_back(definition);
    if (definitions.empty()) definitions.push_back("");
    unsigned index = 1;
    for (const std::string& definition : definitions) {
      std::vector<camsim::Camera> made = camsim::expandDefinition(definition, count, index);
      cameras.insert(cameras.end(), made.begin(), made.end());
    }
  } catch (const camsim::SpecError& e) {
    std::cerr << "keplin-camsim: " << e.what() << "\n";
    return 2;
  }

  if (!text_ports.empty()) options.text_ports = text_ports;
  for (uint16_t p : options.text_ports)
    if (p == 0) {
      std::cerr << "keplin-camsim: --text-port 0 is not a port\n";
      return 2;
    }
  options.broadcast_port = broadcast_port;
  options.restart_delay = std::chrono::milliseconds(restart_delay_ms);
  options.burst_gap = std::chrono::microseconds(burst_gap_us);

  camsim::EventLog log;
  if (!log.open(log_target)) {
    std::cerr << "keplin-camsim: cannot write the log " << log_target << "\n";
    return 1;
  }

  // SIGTERM and SIGINT are blocked except while the loop waits.
  sigset_t stop_signals, wait_mask;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  sigprocmask(SIG_BLOCK, &stop_signals, &wait_mask);
  sigdelset(&wait_mask, SIGTERM);
  sigdelset(&wait_mask, SIGINT);
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  unsigned text_cameras = 0, broadcast_cameras = 0;
  for (const auto& cam : cameras)
    ++(cam.behaviour.protocol == camsim::Protocol::Text ? text_cameras : broadcast_cameras);
  camsim::Simulator sim(std::move(cameras), options, log);
  std::string error;
  if (!sim.open(error)) {
    std::cerr << "keplin-camsim: " << error << "\n";
    return 1;
  }
  log.write({{"event", "start"}, {"text_cameras", text_cameras}, {"broadcast_cameras", broadcast_cameras},
             {"text_ports", options.text_ports}, {"broadcast_port", broadcast_port}});
  std::printf("ready\n");
  std::fflush(stdout);

  sim.run(g_stop, wait_mask);
  return 0;
}
