// `keplin doctor`: why a search finds nothing. Read-only checks of this PC
// (adapters, the route for the multicast group, the discovery ports, reverse
// path filtering, firewall rules), and with --probe one search of each
// protocol. Every check reads the system through DoctorSystem, so tests hand
// it files and command output of their own.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/discovery.h"

namespace keplin::cli {

enum class Level { Ok, Note, Problem };

// One line of the report: what was found and, unless it is fine, what to do.
struct Finding {
    std::string check;  // adapters, route, ports, rp_filter, firewall, probe
    Level level = Level::Ok;
    std::string what;
    std::string advice;
};

struct NetInterface {
    std::string name;
    bool up = false;       // administratively up (IFF_UP)
    bool running = false;  // link up (IFF_RUNNING)
    bool loopback = false;
    std::vector<AdapterAddress> addresses;  // IPv4 only
};

struct CommandOutput {
    int status = -1;  // exit status; 127 when the program could not be started
    std::string out;
    std::string err;
};
using CommandRunner = std::function<CommandOutput(const std::vector<std::string>& argv)>;

// Where the checks read the system: `proc` stands for /proc (net/route,
// net/udp, net/udp6, sys/net/ipv4/conf, <pid>/fd, <pid>/comm).
struct DoctorSystem {
    std::string proc = "/proc";
    std::function<std::vector<NetInterface>()> interfaces;
    CommandRunner run;

    // The machine's own: /proc, getifaddrs and real programs.
    static DoctorSystem Live();
};

// Every interface with its flags and IPv4 addresses (getifaddrs).
std::vector<NetInterface> read_interfaces();
// Runs argv (looked up in PATH) without a shell and collects its output.
CommandOutput run_command(const std::vector<std::string>& argv);

// The discovery ports a program other than this one may hold.
constexpr int kDoctorPorts[] = {DISCOVERY_PORT, DISCOVERY_FALLBACK_PORT, BROADCAST_PORT};

std::vector<Finding> check_adapters(const std::vector<NetInterface>& interfaces);
// `route_table` is the text of /proc/net/route.
std::vector<Finding> check_route(const std::string& route_table);
std::vector<Finding> check_ports(const DoctorSystem& system);
std::vector<Finding> check_rp_filter(const DoctorSystem& system, const std::vector<NetInterface>& interfaces);
std::vector<Finding> check_firewall(const CommandRunner& run);

// The firewall rules as `nft -j list ruleset` and `iptables-save` print them;
// the findings say whether the cameras' answers pass the input path.
std::vector<Finding> nft_findings(const std::string& json);
std::vector<Finding> iptables_findings(const std::string& save);

// Every read-only check, in report order.
std::vector<Finding> run_checks(const DoctorSystem& system);

// One answer of the probe: kind 'M' (text) or 'L' (broadcast) and the address
// the camera gave.
struct ProbeAnswer {
    char kind = 'M';
    std::string address;
};
// The probe's findings: answers per protocol, attributed to the adapter whose
// subnet holds the camera's address (the engine does not tell the receiving
// interface). `warnings` are the search's own complaints.
std::vector<Finding> probe_findings(const std::vector<ProbeAnswer>& answers,
                                    const std::vector<NetInterface>& interfaces,
                                    const std::vector<std::string>& warnings, bool sent);

std::string findings_text(const std::vector<Finding>& findings);
std::string findings_json(const std::vector<Finding>& findings);
bool any_problem(const std::vector<Finding>& findings);

// The command's help footer: how to read the report, examples, exit status.
extern const char kDoctorFooter[];

struct DoctorCommand {
    bool probe = false;
    int wait_ms = 2500;
    std::string format = "text";  // text, json
};

// Prints the report; 0 when nothing is wrong, 1 when something is.
int run_doctor(const DoctorCommand& command, std::ostream& out, std::ostream& err);
int run_doctor(const DoctorCommand& command, const DoctorSystem& system, std::ostream& out, std::ostream& err);

}  // namespace keplin::cli
