// The doctor's checks on inputs of our own: /proc trees in a temporary
// folder, adapter lists, firewall rules as nft and iptables-save print them.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/keplin/doctor.h"

using namespace keplin::cli;
namespace fs = std::filesystem;

namespace {

NetInterface adapter(const std::string& name, const std::string& address = "", bool up = true, bool running = true) {
    NetInterface i;
    i.name = name;
    i.up = up;
    i.running = running;
    if (!address.empty()) i.addresses.push_back({address, "255.255.255.0"});
    return i;
}

std::vector<Level> levels(const std::vector<Finding>& findings) {
    std::vector<Level> out;
    for (const Finding& f : findings) out.push_back(f.level);
    return out;
}

std::string all_text(const std::vector<Finding>& findings) {
    std::string text;
    for (const Finding& f : findings) text += f.what + " | " + f.advice + "\n";
    return text;
}

// A /proc of our own in a temporary folder.
class FakeProc {
public:
    FakeProc() {
        char pattern[] = "/tmp/keplin-doctor-XXXXXX";
        root_ = mkdtemp(pattern);
    }
    ~FakeProc() { fs::remove_all(root_); }
    void write(const std::string& path, const std::string& text) const {
        fs::create_directories(fs::path(root_ + "/" + path).parent_path());
        std::ofstream(root_ + "/" + path) << text;
    }
    void socket_fd(const std::string& pid, const std::string& inode, const std::string& comm) const {
        fs::create_directories(root_ + "/" + pid + "/fd");
        fs::create_symlink("/dev/null", root_ + "/" + pid + "/fd/0");
        fs::create_symlink("socket:[" + inode + "]", root_ + "/" + pid + "/fd/7");
        write(pid + "/comm", comm + "\n");
    }
    DoctorSystem system(std::vector<NetInterface> interfaces, CommandRunner run = nullptr) const {
        DoctorSystem s;
        s.proc = root_;
        s.interfaces = [interfaces] { return interfaces; };
        s.run = run ? run : [](const std::vector<std::string>&) { return CommandOutput{127, "", "not found"}; };
        return s;
    }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

const char kUdpHeader[] =
    "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode ref pointer "
    "drops\n";

std::string udp_line(const std::string& local, const std::string& inode) {
    return "  12: " + local + " 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000        0 " + inode +
           " 2 0000000000000000 0\n";
}

// An nft -j ruleset with one input base chain of `policy` and the rules'
// expression lists, in the form nft 1.0 prints them.
std::string nft_ruleset(const std::string& policy, const std::vector<std::string>& rules,
                        const std::string& extra = "") {
    std::string text = R"({"nftables": [{"metainfo": {"version": "1.0.6", "json_schema_version": 1}},
        {"table": {"family": "inet", "name": "filter", "handle": 1}},
        {"chain": {"family": "inet", "table": "filter", "name": "input", "handle": 1, "type": "filter",
                   "hook": "input", "prio": 0, "policy": ")" + policy + R"("}})";
    int handle = 2;
    for (const std::string& r : rules)
        text += R"(, {"rule": {"family": "inet", "table": "filter", "chain": "input", "handle": )" +
                std::to_string(handle++) + R"(, "expr": )" + r + "}}";
    return text + extra + "]}";
}

const char kEstablished[] =
    R"([{"match": {"op": "in", "left": {"ct": {"key": "state"}}, "right": ["established", "related"]}}, {"accept": null}])";

}  // namespace

TEST(DoctorAdapters, EachFaultNamedWithItsRemedy) {
    NetInterface lo = adapter("lo", "127.0.0.1");
    lo.loopback = true;
    std::vector<Finding> f = check_adapters({lo, adapter("lan0", "10.213.0.1"), adapter("lan1"),
                                             adapter("lan2", "10.0.2.1", false, false),
                                             adapter("lan3", "10.0.3.1", true, false)});
    ASSERT_EQ(f.size(), 4u) << all_text(f);  // loopback is not reported
    EXPECT_EQ(f[0].level, Level::Ok);
    EXPECT_EQ(f[0].what, "lan0 10.213.0.1/24, link up");
    EXPECT_EQ(f[1].what, "lan1 has no IPv4 address");
    EXPECT_EQ(f[2].what, "lan2 is down");
    EXPECT_NE(f[2].advice.find("ip link set lan2 up"), std::string::npos);
    EXPECT_EQ(f[3].what, "lan3 has no link");
    EXPECT_EQ(levels(f), (std::vector<Level>{Level::Ok, Level::Problem, Level::Problem, Level::Problem}));

    f = check_adapters({lo, adapter("lan0")});
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[1].what, "no adapter has an IPv4 address and a link");
}

TEST(DoctorRoute, DefaultOrMulticastRouteCoversTheGroup) {
    const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    // 10.213.0.0/24 on lan0 only: nothing covers 239.255.255.250.
    const std::string subnet = "lan0\t00D50D0A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
    std::vector<Finding> f = check_route(header + subnet);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].level, Level::Problem);
    EXPECT_EQ(f[0].what, "no route for 239.255.255.250");

    f = check_route(header + subnet + "lan1\t00000000\t0100D50A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n");
    EXPECT_EQ(f[0].level, Level::Ok);
    EXPECT_EQ(f[0].what, "239.255.255.250 is routed through lan1 (default route)");

    // 224.0.0.0/4 beats the default route; a route that is not up counts for nothing.
    f = check_route(header + "lan1\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n" +
                    "lan2\t000000E0\t00000000\t0001\t0\t0\t0\t000000F0\t0\t0\t0\n" +
                    "lan3\t000000EF\t00000000\t0000\t0\t0\t0\t000000FF\t0\t0\t0\n");
    EXPECT_EQ(f[0].what, "239.255.255.250 is routed through lan2");
}

TEST(DoctorPorts, HoldersNamedThroughTheirDescriptors) {
    FakeProc proc;
    // 8002 (0x1F42) on 0.0.0.0 held by pid 321, 8600 (0x2198) in udp6 by a
    // socket no readable process owns, 5353 is no business of ours.
    proc.write("net/udp", std::string(kUdpHeader) + udp_line("00000000:1F42", "4242") +
                              udp_line("0100007F:14E9", "4243"));
    proc.write("net/udp6",
               std::string(kUdpHeader) + udp_line("00000000000000000000000000000000:2198", "4244"));
    proc.socket_fd("321", "4242", "camtool");
    proc.socket_fd("400", "9999", "other");
    std::vector<Finding> f = check_ports(proc.system({}));
    ASSERT_EQ(f.size(), 2u) << all_text(f);
    EXPECT_EQ(f[0].what, "UDP 8002 (the text protocol's port) is held by camtool (pid 321)");
    EXPECT_EQ(f[1].what, "UDP 8600 (the broadcast protocol's port) is held by a program this user cannot see");
    EXPECT_NE(f[1].advice.find("as root"), std::string::npos);
    EXPECT_TRUE(any_problem(f));

    FakeProc empty;
    empty.write("net/udp", std::string(kUdpHeader) + udp_line("00000000:14E9", "1"));
    f = check_ports(empty.system({}));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].level, Level::Ok);
}

TEST(DoctorReversePath, StrictFilteringMattersWithSeveralAdapters) {
    FakeProc proc;
    const std::string conf = "sys/net/ipv4/conf/";
    proc.write(conf + "all/rp_filter", "0\n");
    proc.write(conf + "lan0/rp_filter", "2\n");
    proc.write(conf + "lan1/rp_filter", "1\n");
    const std::vector<NetInterface> two = {adapter("lan0", "10.213.0.1"), adapter("lan1", "10.213.1.1")};
    std::vector<Finding> f = check_rp_filter(proc.system(two), two);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].level, Level::Problem);
    EXPECT_NE(f[0].what.find("on lan1 with 2 adapters"), std::string::npos) << f[0].what;
    EXPECT_NE(f[0].advice.find("net.ipv4.conf.all.rp_filter=2 net.ipv4.conf.lan1.rp_filter=2"), std::string::npos);
    proc.write(conf + "eth0.100/rp_filter", "1\n");
    const std::vector<NetInterface> vlan = {adapter("lan0", "10.213.0.1"), adapter("eth0.100", "10.213.1.1")};
    EXPECT_NE(check_rp_filter(proc.system(vlan), vlan)[0].advice.find(" net.ipv4.conf.eth0/100.rp_filter=2"),
              std::string::npos);

    // One adapter with an address: nothing arrives on "the other one".
    const std::vector<NetInterface> one = {adapter("lan0", "10.213.0.1"), adapter("lan1")};
    EXPECT_EQ(check_rp_filter(proc.system(one), one)[0].level, Level::Ok);

    // "all" counts for every adapter; the larger value wins, so loose (2) beats it.
    proc.write(conf + "all/rp_filter", "1\n");
    proc.write(conf + "lan1/rp_filter", "0\n");
    f = check_rp_filter(proc.system(two), two);
    EXPECT_NE(f[0].what.find("on lan1 with"), std::string::npos) << f[0].what;
    EXPECT_EQ(f[0].what.find("lan0"), std::string::npos);
}

TEST(DoctorFirewall, NftablesPolicyAndRulesFollowedForEachProtocol) {
    // The usual desktop firewall: only replies the connection tracker knows
    // pass, and the cameras' answers are not among them.
    const char loopback[] =
        R"([{"match": {"op": "==", "left": {"meta": {"key": "iif"}}, "right": "lo"}}, {"accept": null}])";
    std::vector<Finding> f = nft_findings(nft_ruleset("drop", {loopback, kEstablished}));
    ASSERT_EQ(f.size(), 2u) << all_text(f);
    EXPECT_EQ(levels(f), (std::vector<Level>{Level::Problem, Level::Problem}));
    EXPECT_NE(f[0].what.find("text protocol's answers"), std::string::npos);
    EXPECT_NE(f[0].what.find("dropped by the policy of chain inet filter input"), std::string::npos);
    EXPECT_NE(f[0].advice.find("nft insert rule inet filter input udp sport 8002 udp dport 8002 accept"),
              std::string::npos);
    EXPECT_NE(f[1].what.find("broadcast protocol's answers"), std::string::npos);

    // Accepting both ports lets both through; a TCP rule or "ct state invalid"
    // drop is no business of ours.
    f = nft_findings(nft_ruleset(
        "drop", {R"([{"match": {"op": "==", "left": {"payload": {"protocol": "tcp", "field": "dport"}}, "right": 22}}, {"drop": null}])",
                 R"([{"match": {"op": "in", "left": {"ct": {"key": "state"}}, "right": "invalid"}}, {"drop": null}])",
                 R"([{"match": {"op": "==", "left": {"payload": {"protocol": "udp", "field": "dport"}}, "right": {"set": [8002, 12109]}}}, {"counter": {"packets": 0, "bytes": 0}}, {"accept": null}])",
                 R"([{"match": {"op": "==", "left": {"payload": {"protocol": "udp", "field": "sport"}}, "right": {"range": [8600, 8601]}}}, {"accept": null}])"}));
    ASSERT_EQ(f.size(), 1u) << all_text(f);
    EXPECT_EQ(f[0].level, Level::Ok);

    // A drop rule reached through a jump, for multicast only: text answers go.
    f = nft_findings(nft_ruleset(
        "accept", {R"([{"jump": {"target": "cams"}}])"},
        R"(, {"chain": {"family": "inet", "table": "filter", "name": "cams", "handle": 9}},
            {"rule": {"family": "inet", "table": "filter", "chain": "cams", "handle": 10, "expr": [
              {"match": {"op": "==", "left": {"meta": {"key": "pkttype"}}, "right": "multicast"}},
              {"match": {"op": "!=", "left": {"payload": {"protocol": "udp", "field": "dport"}}, "right": 5353}},
              {"drop": null}]}})"));
    ASSERT_EQ(f.size(), 1u) << all_text(f);
    EXPECT_EQ(f[0].level, Level::Problem);
    EXPECT_NE(f[0].what.find("are dropped by rule 10 of chain inet filter cams"),
              std::string::npos) << f[0].what;

    // What depends on the camera's address cannot be decided: a note, not a problem.
    f = nft_findings(nft_ruleset(
        "drop", {R"([{"match": {"op": "==", "left": {"payload": {"protocol": "ip", "field": "saddr"}}, "right": {"prefix": {"addr": "10.0.0.0", "len": 8}}}}, {"accept": null}])"}));
    EXPECT_EQ(levels(f), (std::vector<Level>{Level::Note, Level::Note})) << all_text(f);
    EXPECT_FALSE(any_problem(f));
    f = nft_findings(nft_ruleset(
        "drop", {R"([{"match": {"op": "==", "left": {"payload": {"protocol": "udp", "field": "dport"}}, "right": "@cams"}}, {"accept": null}])"}));
    EXPECT_EQ(f[0].level, Level::Note) << all_text(f);

    // ip6 tables do not see IPv4 answers; unreadable output is said plainly.
    std::string ip6 = nft_ruleset("drop", {});
    for (size_t at; (at = ip6.find("\"inet\"")) != std::string::npos;) ip6.replace(at, 6, "\"ip6\"");
    EXPECT_EQ(nft_findings(ip6)[0].level, Level::Ok);
    f = nft_findings("Error: no JSON");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].level, Level::Note);
}

TEST(DoctorFirewall, IptablesSaveRules) {
    const std::string head = "# Generated by iptables-save\n*nat\n:PREROUTING ACCEPT [0:0]\n-A PREROUTING -j DROP\nCOMMIT\n"
                             "*filter\n:INPUT DROP [0:0]\n:FORWARD DROP [0:0]\n:OUTPUT ACCEPT [0:0]\n:cams - [0:0]\n";
    const std::string tail = "COMMIT\n";
    std::vector<Finding> f = iptables_findings(
        head + "-A INPUT -i lo -j ACCEPT\n-A INPUT -m conntrack --ctstate RELATED,ESTABLISHED -j ACCEPT\n" +
        "-A INPUT -p tcp -m tcp --dport 22 -j ACCEPT\n-A INPUT -j LOG --log-prefix \"in: \"\n" +
        tail);
    ASSERT_EQ(f.size(), 2u) << all_text(f);
    EXPECT_EQ(levels(f), (std::vector<Level>{Level::Problem, Level::Problem}));
    EXPECT_NE(f[0].what.find("policy of chain INPUT (iptables)"), std::string::npos) << f[0].what;
    EXPECT_NE(f[1].advice.find("iptables -I INPUT -p udp --sport 8600 -j ACCEPT"), std::string::npos);

    f = iptables_findings(head + "-A INPUT -p udp -m multiport --sports 8002,8600:8601 -j ACCEPT\n" + tail);
    EXPECT_EQ(levels(f), std::vector<Level>{Level::Ok}) << all_text(f);

    // A user chain that rejects everything but DNS, and a negated match.
    f = iptables_findings(head + "-A INPUT -j cams\n-A cams -p udp ! --dport 53 -j REJECT --reject-with icmp-port-unreachable\n" +
                          "-A INPUT -j ACCEPT\n" + tail);
    ASSERT_EQ(f.size(), 2u) << all_text(f);
    EXPECT_EQ(f[0].level, Level::Problem);
    EXPECT_NE(f[0].what.find("rule 1 of chain cams"), std::string::npos) << f[0].what;
    EXPECT_EQ(f[1].level, Level::Note);  // the broadcast answers' port is the probe's own
}

TEST(DoctorFirewall, ToolsTriedInTurnAndFailuresSaidPlainly) {
    std::vector<std::string> asked;
    auto runner = [&asked](int nft_status, std::string nft_err, int ipt_status, std::string ipt_out) {
        return [&asked, nft_status, nft_err, ipt_status, ipt_out](const std::vector<std::string>& argv) {
            asked.push_back(argv[0]);
            if (argv[0] == "nft") return CommandOutput{nft_status, "", nft_err};
            return CommandOutput{ipt_status, ipt_out, ""};
        };
    };
    std::vector<Finding> f = check_firewall(runner(127, "", 127, ""));
    EXPECT_EQ(asked, (std::vector<std::string>{"nft", "iptables-save"}));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].level, Level::Note);
    EXPECT_NE(f[0].what.find("neither nft nor iptables-save is installed"), std::string::npos);

    f = check_firewall(runner(1, "Error: Operation not permitted (you must be root)\nmore", 127, ""));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].what,
              "the firewall rules cannot be read without root (Error: Operation not permitted (you must be root))");
    EXPECT_FALSE(any_problem(f));

    f = check_firewall(runner(127, "", 0, "*filter\n:INPUT DROP [0:0]\nCOMMIT\n"));
    EXPECT_EQ(levels(f), (std::vector<Level>{Level::Problem, Level::Problem}));
    // An empty ruleset is no firewall.
    f = check_firewall(runner(0, "", 127, ""));
    EXPECT_EQ(levels(f), std::vector<Level>{Level::Ok});
}

TEST(DoctorProbe, AnswersCountedPerProtocolAndAdapterSubnet) {
    const std::vector<NetInterface> adapters = {adapter("lan0", "10.213.0.1"), adapter("lan1", "10.213.1.1")};
    std::vector<Finding> f = probe_findings({{'M', "10.213.0.11"}, {'M', "10.213.1.12"}, {'M', "10.213.0.13"},
                                             {'L', "192.168.1.108"}},
                                            adapters, {}, true);
    ASSERT_EQ(f.size(), 3u) << all_text(f);
    EXPECT_EQ(f[0].what, "text protocol: 3 answers (lan0 (10.213.0.0/24) 2, lan1 (10.213.1.0/24) 1)");
    EXPECT_EQ(f[1].what, "broadcast protocol: 1 answer (outside every adapter's subnet 1)");
    EXPECT_EQ(f[2].level, Level::Note);
    EXPECT_NE(f[2].what.find("192.168.1.108"), std::string::npos);
    EXPECT_FALSE(any_problem(f));

    f = probe_findings({}, adapters, {"the text protocol could not be started"}, true);
    EXPECT_EQ(levels(f), (std::vector<Level>{Level::Problem, Level::Note, Level::Note, Level::Problem}));
    EXPECT_EQ(f.back().what, "no camera answered either search");
    f = probe_findings({}, adapters, {}, false);
    EXPECT_EQ(f.back().what, "no search request could be sent");
}

TEST(DoctorReport, OneLinePerFindingAndTheExitStatus) {
    FakeProc proc;
    proc.write("net/route", "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\tMTU\tWindow\tIRTT\n"
                            "lan0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n");
    const DoctorSystem healthy =
        proc.system({adapter("lan0", "10.213.0.1")}, [](const std::vector<std::string>&) {
            return CommandOutput{0, nft_ruleset("accept", {}), ""};
        });
    std::ostringstream out, err;
    EXPECT_EQ(run_doctor(DoctorCommand{}, healthy, out, err), 0);
    EXPECT_EQ(out.str(),
              "ok      adapters: lan0 10.213.0.1/24, link up\n"
              "ok      route: 239.255.255.250 is routed through lan0 (default route)\n"
              "ok      ports: no other program holds UDP 8002, 12109 or 8600\n"
              "ok      rp_filter: reverse-path filtering cannot drop answers with one adapter\n"
              "ok      firewall: no nftables rule drops the cameras' answers\n"
              "Nothing wrong found.\n");

    const DoctorSystem broken = proc.system({adapter("lan0", "10.213.0.1"), adapter("lan1")});
    std::ostringstream json;
    DoctorCommand command;
    command.format = "json";
    EXPECT_EQ(run_doctor(command, broken, json, err), 1);
    const std::string text = json.str();
    EXPECT_NE(text.find("\"what\": \"lan1 has no IPv4 address\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"problems\": 1"), std::string::npos) << text;
    EXPECT_EQ(findings_text({{"adapters", Level::Problem, "lan1 is down", "bring it up"}}),
              "problem adapters: lan1 is down \u2014 bring it up\n1 problem found.\n");
}
