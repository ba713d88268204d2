// `keplin doctor` in the lab (two PC adapters on one LAN): each fault made in
// the PC namespace, found by the doctor, and undone again; and --probe
// counting the simulator's cameras.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>

#include "lab_support.h"

using namespace keplin::lab;

namespace {

const std::string kId1 = "KLDOCTORCAMERA000000000000000001";
const std::string kId2 = "KLDOCTORCAMERA000000000000000002";

ProgramOutput doctor(std::vector<std::string> args = {}) {
    args.insert(args.begin(), {Lab::kitPath("keplin"), "doctor"});
    return runProgram(args);
}

void shell(const std::string& command) {
    ProgramOutput r = runProgram({"sh", "-c", command});
    ASSERT_EQ(r.status, 0) << command << "\n" << r.err;
}

// Runs `undo` when the test ends, also when it fails.
struct Undo {
    std::string command;
    ~Undo() { runProgram({"sh", "-c", command}); }
};

bool has_line(const std::string& output, const std::string& line) {
    return ("\n" + output).find("\n" + line) != std::string::npos;
}

class DoctorLab : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_GE(lab.pcInterfaces.size(), 2u) << "the lab needs --pc-ifaces 2"; }
    Lab lab = Lab::require();
    std::string second() const { return lab.pcInterfaces[1]; }
};

}  // namespace

TEST_F(DoctorLab, HealthyLabHasNothingWrong) {
    ProgramOutput r = doctor();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(has_line(r.out, "ok      adapters: " + lab.pcInterfaces[0] + " " + lab.pcAddresses[0] + "/24, link up"))
        << r.out;
    EXPECT_TRUE(has_line(r.out, "ok      route: 239.255.255.250 is routed through " + lab.pcInterfaces[0] +
                                    " (default route)"))
        << r.out;
    EXPECT_TRUE(has_line(r.out, "Nothing wrong found.")) << r.out;
}

TEST_F(DoctorLab, AdapterWithoutAddressDownOrWithoutLink) {
    const std::string iface = second();
    const std::string restore = "ip addr replace " + lab.pcAddresses[1] + "/24 dev " + iface + "; ip link set " +
                                iface + " up; ip -n " + lab.prefix + "sw link set pc1 up";
    Undo undo{restore};

    shell("ip addr flush dev " + iface);
    ProgramOutput r = doctor();
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has_line(r.out, "problem adapters: " + iface + " has no IPv4 address \u2014 give it an address"))
        << r.out;
    shell(restore);

    // The far end of the cable switched off: up here, but no link.
    shell("ip -n " + lab.prefix + "sw link set pc1 down");
    r = doctor();
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has_line(r.out, "problem adapters: " + iface + " has no link \u2014 check its cable")) << r.out;
    shell(restore);

    shell("ip link set " + iface + " down");
    r = doctor();
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has_line(r.out, "problem adapters: " + iface + " is down \u2014 bring it up (ip link set " + iface +
                                    " up)"))
        << r.out;
}

TEST_F(DoctorLab, PortHeldByAnotherProgramIsNamed) {
    UdpSocket held;
    held.bind("0.0.0.0", 8600);
    std::string comm = "keplin_doctor_lab_test";
    comm.resize(15);  // the kernel keeps 15 characters of a program's name
    ProgramOutput r = doctor();
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has_line(r.out, "problem ports: UDP 8600 (the broadcast protocol's port) is held by " + comm +
                                    " (pid " + std::to_string(getpid()) + ")"))
        << r.out;
}

TEST_F(DoctorLab, StrictReversePathFilteringWithTwoAdapters) {
    const std::string key = "net.ipv4.conf." + second() + ".rp_filter";
    Undo undo{"sysctl -qw " + key + "=0"};
    shell("sysctl -qw " + key + "=1");
    ProgramOutput r = doctor({"--format", "json"});
    EXPECT_EQ(r.status, 1) << r.out;
    auto report = nlohmann::json::parse(r.out);
    bool found = false;
    for (const auto& f : report.at("findings")) {
        if (f.at("check") != "rp_filter") continue;
        found = true;
        EXPECT_EQ(f.at("level"), "problem");
        EXPECT_NE(f.at("what").get<std::string>().find("(rp_filter=1) on " + second() + " with 2 adapters"),
                  std::string::npos)
            << f;
        EXPECT_NE(f.at("advice").get<std::string>().find(key + "=2"), std::string::npos) << f;
    }
    EXPECT_TRUE(found) << r.out;
    EXPECT_EQ(report.at("problems"), 1);
}

TEST_F(DoctorLab, NftablesRuleDroppingTheAnswers) {
    if (runProgram({"sh", "-c", "command -v nft"}).status != 0)
        GTEST_SKIP() << "nft is not installed (scripts/install-deps.sh installs nftables)";
    Undo undo{"nft delete table inet kldoctor"};
    shell("nft add table inet kldoctor && "
          "nft add chain inet kldoctor input '{ type filter hook input priority 0; policy accept; }' && "
          "nft add rule inet kldoctor input ct state established,related accept && "
          "nft add rule inet kldoctor input udp dport 8002 drop && "
          "nft add rule inet kldoctor input udp sport 8600 counter reject");
    ProgramOutput r = doctor();
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("problem firewall: the text protocol's answers (UDP from port 8002 to "
                         "239.255.255.250:8002) are dropped by rule 3 of chain inet kldoctor input \u2014 accept "
                         "them first, e.g. nft insert rule inet kldoctor input udp sport 8002 udp dport 8002 accept"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("problem firewall: the broadcast protocol's answers (UDP from port 8600) are dropped by rule "
                         "4 of chain inet kldoctor input"),
              std::string::npos)
        << r.out;

    // The rules are right: with them in place the probe finds nothing.
    CamSim cams(lab, 0, {"--camera", "kind=text,id=" + kId1 + ",mac=00:1A:2B:3C:4D:01,ip=10.213.0.50", "--camera",
                         "kind=broadcast,ip=10.213.0.70,name=Gate"});
    r = doctor({"--probe", "--wait", "800"});
    EXPECT_TRUE(has_line(r.out, "problem probe: no camera answered either search")) << r.out;
}

TEST_F(DoctorLab, ProbeCountsTheCamerasPerProtocolAndSubnet) {
    CamSim text(lab, 0, {"--camera", "kind=text,id=" + kId1 + ",mac=00:1A:2B:3C:4D:01,ip=10.213.0.50", "--camera",
                         "kind=text,id=" + kId2 + ",mac=00:1A:2B:3C:4D:02,ip=10.213.0.51"});
    CamSim broadcast(lab, 1, {"--camera", "kind=broadcast,ip=10.213.0.70,name=Gate", "--camera",
                              "kind=broadcast,ip=192.168.1.108,name=Factory"});
    ProgramOutput r = doctor({"--probe", "--wait", "1000"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::string lan0 = lab.pcInterfaces[0] + " (10.213.0.0/24)";
    EXPECT_TRUE(has_line(r.out, "ok      probe: text protocol: 2 answers (" + lan0 + " 2)")) << r.out;
    EXPECT_TRUE(has_line(r.out, "ok      probe: broadcast protocol: 2 answers (" + lan0 +
                                    " 1, outside every adapter's subnet 1)"))
        << r.out;
    EXPECT_TRUE(has_line(r.out, "note    probe: broadcast protocol answers from addresses outside every adapter's "
                                "subnet: 192.168.1.108"))
        << r.out;
    // Without --probe nothing is sent.
    const size_t before = text.received().size() + broadcast.received().size();
    doctor();
    EXPECT_EQ(text.received().size() + broadcast.received().size(), before);
}
