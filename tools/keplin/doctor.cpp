#include "tools/keplin/doctor.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/shell.h"
#include "tools/keplin/session.h"

namespace keplin::cli {

namespace {

constexpr unsigned kRouteUp = 0x1;  // RTF_UP

std::string read_file(const std::string& path, bool* ok = nullptr) {
    std::ifstream in(path);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (ok != nullptr) *ok = static_cast<bool>(in);
    return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> words_of(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string join(const std::vector<std::string>& items, const std::string& separator) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

// Host order; false for anything but a dotted IPv4 address.
bool parse_ipv4(const std::string& text, uint32_t* address) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    *address = ntohl(a.s_addr);
    return true;
}

// Leading one bits of a mask in host order.
int prefix_length(uint32_t mask) {
    int bits = 0;
    while (bits < 32 && (mask & (0x80000000u >> bits)) != 0) ++bits;
    return bits;
}

int prefix_length(const std::string& mask) {
    uint32_t m = 0;
    return parse_ipv4(mask, &m) ? prefix_length(m) : 32;
}

std::string subnet_text(const AdapterAddress& a) {
    uint32_t address = 0, mask = 0;
    if (!parse_ipv4(a.address, &address) || !parse_ipv4(a.mask, &mask)) return a.address;
    in_addr net{htonl(address & mask)};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &net, text, sizeof text);
    return std::string(text) + "/" + std::to_string(prefix_length(a.mask));
}

bool in_subnet(const AdapterAddress& a, uint32_t host) {
    uint32_t address = 0, mask = 0;
    return parse_ipv4(a.address, &address) && parse_ipv4(a.mask, &mask) && mask != 0 &&
           (address & mask) == (host & mask);
}

// The adapters the search sends through: not loopback, up, with an address.
std::vector<const NetInterface*> usable(const std::vector<NetInterface>& interfaces) {
    std::vector<const NetInterface*> out;
    for (const NetInterface& i : interfaces)
        if (!i.loopback && i.up && i.running && !i.addresses.empty()) out.push_back(&i);
    return out;
}

Finding finding(const char* check, Level level, std::string what, std::string advice = {}) {
    return Finding{check, level, std::move(what), std::move(advice)};
}

}  // namespace

// ---------------------------------------------------------------------------
// The system.

std::vector<NetInterface> read_interfaces() {
    std::vector<NetInterface> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    auto entry = [&out](const char* name) -> NetInterface& {
        for (NetInterface& i : out)
            if (i.name == name) return i;
        NetInterface added;
        added.name = name;
        out.push_back(added);
        return out.back();
    };
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_name == nullptr) continue;
        NetInterface& i = entry(a->ifa_name);
        i.up = (a->ifa_flags & IFF_UP) != 0;
        i.running = (a->ifa_flags & IFF_RUNNING) != 0;
        i.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
        if (a->ifa_addr != nullptr && a->ifa_addr->sa_family == AF_INET) {
            char address[INET_ADDRSTRLEN] = {}, mask[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr, address,
                      sizeof address);
            if (a->ifa_netmask != nullptr)
                inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr, mask,
                          sizeof mask);
            i.addresses.push_back({address, mask});
        }
    }
    freeifaddrs(list);
    return out;
}

CommandOutput run_command(const std::vector<std::string>& argv) {
    platform::CapturedOutput captured = platform::RunAndCapture(argv);
    CommandOutput result;
    if (!captured.started) {
        result.status = 127;
        if (!argv.empty()) result.err = argv[0] + ": not found";
        return result;
    }
    result.status = captured.status;
    result.out = std::move(captured.out);
    result.err = std::move(captured.err);
    return result;
}

DoctorSystem DoctorSystem::Live() {
    DoctorSystem system;
    system.interfaces = read_interfaces;
    system.run = run_command;
    return system;
}

// ---------------------------------------------------------------------------
// Adapters and the route.

std::vector<Finding> check_adapters(const std::vector<NetInterface>& interfaces) {
    std::vector<Finding> out;
    for (const NetInterface& i : interfaces) {
        if (i.loopback) continue;
        if (!i.up) {
            out.push_back(finding("adapters", Level::Problem, i.name + " is down",
                                  "bring it up (ip link set " + i.name +
                                      " up) if cameras are connected through it"));
        } else if (!i.running) {
            out.push_back(finding("adapters", Level::Problem, i.name + " has no link",
                                  "check its cable and the switch port; searches through it reach nothing"));
        } else if (i.addresses.empty()) {
            out.push_back(finding("adapters", Level::Problem, i.name + " has no IPv4 address",
                                  "give it an address in the cameras' subnet (or turn on DHCP); the search "
                                  "sends nothing through an adapter without one"));
        } else {
            std::vector<std::string> subnets;
            for (const AdapterAddress& a : i.addresses) subnets.push_back(a.address + "/" + std::to_string(prefix_length(a.mask)));
            out.push_back(finding("adapters", Level::Ok, i.name + " " + join(subnets, ", ") + ", link up"));
        }
    }
    if (usable(interfaces).empty())
        out.push_back(finding("adapters", Level::Problem, "no adapter has an IPv4 address and a link",
                              "connect this PC to the cameras' network and give it an address"));
    return out;
}

std::vector<Finding> check_route(const std::string& route_table) {
    uint32_t group = 0;
    parse_ipv4(DISCOVERY_GROUP, &group);
    std::string best_iface;
    int best_len = -1;
    for (const std::string& line : lines_of(route_table)) {
        // Iface Destination Gateway Flags RefCnt Use Metric Mask ..., hex in network order.
        std::vector<std::string> w = words_of(line);
        if (w.size() < 8 || w[0] == "Iface") continue;
        const unsigned long destination = std::strtoul(w[1].c_str(), nullptr, 16);
        const unsigned long flags = std::strtoul(w[3].c_str(), nullptr, 16);
        const unsigned long mask = std::strtoul(w[7].c_str(), nullptr, 16);
        if ((flags & kRouteUp) == 0) continue;
        const uint32_t d = ntohl(static_cast<uint32_t>(destination));
        const uint32_t m = ntohl(static_cast<uint32_t>(mask));
        if ((group & m) != (d & m)) continue;
        const int len = prefix_length(m);
        if (len > best_len) {
            best_len = len;
            best_iface = w[0];
        }
    }
    if (best_len < 0)
        return {finding("route", Level::Problem, std::string("no route for ") + DISCOVERY_GROUP,
                        "add a default route, or one for the multicast range: ip route add 224.0.0.0/4 dev ADAPTER")};
    return {finding("route", Level::Ok,
                    std::string(DISCOVERY_GROUP) + " is routed through " + best_iface +
                        (best_len == 0 ? " (default route)" : ""))};
}

// ---------------------------------------------------------------------------
// Ports.

namespace {

struct Holder {
    int port = 0;
    std::string inode;
};

// Sockets bound to the discovery ports in /proc/net/udp and udp6.
std::vector<Holder> held_ports(const std::string& proc) {
    std::vector<Holder> out;
    for (const char* file : {"/net/udp", "/net/udp6"}) {
        for (const std::string& line : lines_of(read_file(proc + file))) {
            // sl local_address rem_address st tx_queue:rx_queue tr:tm retrnsmt uid timeout inode
            std::vector<std::string> w = words_of(line);
            if (w.size() < 10 || w[0] == "sl") continue;
            const size_t colon = w[1].rfind(':');
            if (colon == std::string::npos) continue;
            const int port = static_cast<int>(std::strtol(w[1].c_str() + colon + 1, nullptr, 16));
            for (int wanted : kDoctorPorts)
                if (port == wanted) out.push_back({port, w[9]});
        }
    }
    return out;
}

// "name (pid N)" of the processes whose descriptors are socket `inode`.
std::vector<std::string> owners(const std::string& proc, const std::string& inode) {
    std::vector<std::string> out;
    const std::string link = "socket:[" + inode + "]";
    DIR* dir = opendir(proc.c_str());
    if (dir == nullptr) return out;
    while (dirent* e = readdir(dir)) {
        const std::string pid = e->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string fd_dir = proc + "/" + pid + "/fd";
        DIR* fds = opendir(fd_dir.c_str());
        if (fds == nullptr) continue;
        bool found = false;
        while (dirent* f = readdir(fds)) {
            char target[256];
            const ssize_t n = readlink((fd_dir + "/" + f->d_name).c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<size_t>(n)) == link) {
                found = true;
                break;
            }
        }
        closedir(fds);
        if (!found) continue;
        std::string name = read_file(proc + "/" + pid + "/comm");
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
        out.push_back((name.empty() ? "a program" : name) + " (pid " + pid + ")");
    }
    closedir(dir);
    std::sort(out.begin(), out.end());
    return out;
}

const char* port_use(int port) {
    if (port == BROADCAST_PORT) return "the broadcast protocol's port";
    if (port == DISCOVERY_FALLBACK_PORT) return "the text protocol's second port";
    return "the text protocol's port";
}

}  // namespace

std::vector<Finding> check_ports(const DoctorSystem& system) {
    std::vector<Finding> out;
    std::map<int, std::vector<std::string>> by_port;
    std::map<int, bool> unnamed;
    for (const Holder& h : held_ports(system.proc)) {
        const std::vector<std::string> names = owners(system.proc, h.inode);
        if (names.empty()) unnamed[h.port] = true;
        std::vector<std::string>& listed = by_port[h.port];
        for (const std::string& n : names)
            if (std::find(listed.begin(), listed.end(), n) == listed.end()) listed.push_back(n);
    }
    for (const auto& [port, names] : by_port) {
        std::string who = names.empty() ? "a program this user cannot see" : join(names, ", ");
        if (!names.empty() && unnamed[port]) who += " and a program this user cannot see";
        out.push_back(finding("ports", Level::Problem,
                              "UDP " + std::to_string(port) + " (" + port_use(port) + ") is held by " + who,
                              names.empty() ? "run the doctor as root to name it, and close it while searching"
                                            : "close it while searching: two programs on one port share or "
                                              "take each other's answers"));
    }
    if (out.empty())
        out.push_back(finding("ports", Level::Ok, "no other program holds UDP 8002, 12109 or 8600"));
    return out;
}

// ---------------------------------------------------------------------------
// Reverse-path filtering.

std::vector<Finding> check_rp_filter(const DoctorSystem& system, const std::vector<NetInterface>& interfaces) {
    const std::string base = system.proc + "/sys/net/ipv4/conf/";
    auto value = [&](const std::string& name) {
        bool ok = false;
        const std::string text = read_file(base + name + "/rp_filter", &ok);
        return ok ? std::atoi(text.c_str()) : 0;
    };
    const int all = value("all");
    const std::vector<const NetInterface*> adapters = usable(interfaces);
    std::vector<std::string> strict;
    for (const NetInterface* i : adapters)
        // The kernel applies the larger of the two values.
        if (std::max(all, value(i->name)) == 1) strict.push_back(i->name);
    if (adapters.size() < 2 || strict.empty()) {
        return {finding("rp_filter", Level::Ok,
                        adapters.size() < 2 ? "reverse-path filtering cannot drop answers with one adapter"
                                            : "no adapter filters by strict reverse path")};
    }
    std::string command = "sysctl -w net.ipv4.conf.all.rp_filter=2";
    for (std::string name : strict) {
        // sysctl writes the dots of an adapter's name (a VLAN's "eth0.100") as slashes.
        std::replace(name.begin(), name.end(), '.', '/');
        command += " net.ipv4.conf." + name + ".rp_filter=2";
    }
    return {finding("rp_filter", Level::Problem,
                    "strict reverse-path filtering (rp_filter=1) on " + join(strict, ", ") + " with " +
                        std::to_string(adapters.size()) +
                        " adapters drops answers that arrive on another adapter than the route back to the camera",
                    "switch to loose filtering: " + command)};
}

// ---------------------------------------------------------------------------
// The whole report.

std::vector<Finding> run_checks(const DoctorSystem& system) {
    const std::vector<NetInterface> interfaces = system.interfaces ? system.interfaces() : read_interfaces();
    std::vector<Finding> out;
    auto add = [&out](std::vector<Finding> more) { out.insert(out.end(), more.begin(), more.end()); };
    add(check_adapters(interfaces));
    add(check_route(read_file(system.proc + "/net/route")));
    add(check_ports(system));
    add(check_rp_filter(system, interfaces));
    add(check_firewall(system.run ? system.run : CommandRunner(run_command)));
    return out;
}

std::vector<Finding> probe_findings(const std::vector<ProbeAnswer>& answers,
                                    const std::vector<NetInterface>& interfaces,
                                    const std::vector<std::string>& warnings, bool sent) {
    std::vector<Finding> out;
    for (const std::string& w : warnings)
        out.push_back(finding("probe", Level::Problem, w, "see the adapter and port findings above"));
    if (!sent) {
        out.push_back(finding("probe", Level::Problem, "no search request could be sent",
                              "give an adapter an address and a link, and free the discovery ports"));
        return out;
    }
    int total = 0;
    for (const char kind : {'M', 'L'}) {
        const char* name = kind == 'M' ? "text protocol" : "broadcast protocol";
        // Adapter subnets in order of first answer, then the addresses outside all of them.
        std::vector<std::pair<std::string, int>> counts;
        std::vector<std::string> outside;
        int count = 0;
        for (const ProbeAnswer& a : answers) {
            if (a.kind != kind) continue;
            ++count;
            uint32_t host = 0;
            std::string where;
            if (parse_ipv4(a.address, &host)) {
                for (const NetInterface& i : interfaces) {
                    if (i.loopback) continue;
                    for (const AdapterAddress& s : i.addresses)
                        if (where.empty() && in_subnet(s, host)) where = i.name + " (" + subnet_text(s) + ")";
                }
            }
            if (where.empty()) {
                outside.push_back(a.address.empty() ? "no address" : a.address);
                continue;
            }
            auto it = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == where; });
            if (it == counts.end()) counts.emplace_back(where, 1);
            else ++it->second;
        }
        total += count;
        if (count == 0) {
            out.push_back(finding("probe", Level::Note, std::string("no camera answered the ") + name));
            continue;
        }
        std::vector<std::string> parts;
        for (const auto& [where, n] : counts) parts.push_back(where + " " + std::to_string(n));
        if (!outside.empty()) parts.push_back("outside every adapter's subnet " + std::to_string(outside.size()));
        out.push_back(finding("probe", Level::Ok,
                              std::string(name) + ": " + std::to_string(count) +
                                  (count == 1 ? " answer" : " answers") + " (" + join(parts, ", ") + ")"));
        if (!outside.empty()) {
            out.push_back(finding("probe", Level::Note,
                                  std::string(name) + " answers from addresses outside every adapter's subnet: " +
                                      join(outside, ", "),
                                  "their web pages cannot be opened from here; give them addresses in this "
                                  "PC's subnet (keplin set)"));
        }
    }
    if (total == 0)
        out.push_back(finding("probe", Level::Problem, "no camera answered either search",
                              "check the cameras' power and cabling, and the findings above"));
    return out;
}

// ---------------------------------------------------------------------------
// Output.

namespace {

const char* level_name(Level level) {
    switch (level) {
        case Level::Ok: return "ok";
        case Level::Note: return "note";
        case Level::Problem: return "problem";
    }
    return "";
}

}  // namespace

bool any_problem(const std::vector<Finding>& findings) {
    return std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.level == Level::Problem; });
}

std::string findings_text(const std::vector<Finding>& findings) {
    std::string text;
    int problems = 0;
    for (const Finding& f : findings) {
        std::string tag = level_name(f.level);
        if (f.level == Level::Problem) ++problems;
        tag.resize(8, ' ');
        text += tag + f.check + ": " + f.what;
        if (!f.advice.empty()) text += " \u2014 " + f.advice;
        text += "\n";
    }
    text += problems == 0 ? "Nothing wrong found.\n"
                          : std::to_string(problems) + (problems == 1 ? " problem" : " problems") + " found.\n";
    return text;
}

std::string findings_json(const std::vector<Finding>& findings) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    int problems = 0;
    for (const Finding& f : findings) {
        if (f.level == Level::Problem) ++problems;
        nlohmann::ordered_json item = {{"check", f.check}, {"level", level_name(f.level)}, {"what", f.what}};
        if (!f.advice.empty()) item["advice"] = f.advice;
        list.push_back(item);
    }
    nlohmann::ordered_json report = {{"findings", list}, {"problems", problems}};
    return report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

const char kDoctorFooter[] = R"(
Each line is one finding: ok, note or problem, the check, what was found and,
after a dash, what to do about it. Reading the firewall rules needs root.

Examples:
  keplin doctor                      the read-only checks
  sudo keplin doctor --probe         and one search by each protocol

Exit status: 0 nothing wrong found, 1 a problem found, 2 bad arguments.)";

int run_doctor(const DoctorCommand& command, std::ostream& out, std::ostream& err) {
    return run_doctor(command, DoctorSystem::Live(), out, err);
}

int run_doctor(const DoctorCommand& command, const DoctorSystem& system, std::ostream& out, std::ostream&) {
    // The ports are read before the probe opens its own sockets on them.
    std::vector<Finding> findings = run_checks(system);
    if (command.probe) {
        const std::vector<NetInterface> interfaces = system.interfaces ? system.interfaces() : read_interfaces();
        std::vector<ProbeAnswer> answers;
        std::vector<std::string> warnings;
        bool sent = false;
        {
            Session session;
            sent = session.SearchRepeated(Protocol::All, 1, std::chrono::milliseconds(command.wait_ms), warnings);
            session.Finder().Stop();
            FoundDevice device;
            for (int i = 0; session.Collector().Get(i, &device); ++i) answers.push_back({device.kind, device.Address()});
        }
        const std::vector<Finding> probe = probe_findings(answers, interfaces, warnings, sent);
        findings.insert(findings.end(), probe.begin(), probe.end());
    }
    out << (command.format == "json" ? findings_json(findings) : findings_text(findings));
    return any_problem(findings) ? kExitFailure : kExitOk;
}

}  // namespace keplin::cli
