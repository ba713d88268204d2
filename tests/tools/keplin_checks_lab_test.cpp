// Address checks of `keplin` in a lab whose PC has two adapters on one LAN:
// the warnings of `search --check`, addresses `set` refuses, and `set
// --verify` against cameras that come back where they were sent, elsewhere, or
// not at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "lab_support.h"

using namespace keplin::lab;

namespace {

const std::string kId1 = "KLTESTCAMERA00000000000000000001";
const std::string kId2 = "KLTESTCAMERA00000000000000000002";
const std::vector<std::string> kAdmin = {"--user", "admin", "--password", "admin"};

ProgramOutput run(std::vector<std::string> args) {
    args.insert(args.begin(), Lab::kitPath("keplin"));
    return runProgram(args);
}

std::vector<std::string> set_args(const std::string& target, std::vector<std::string> more) {
    std::vector<std::string> args = {"set", target, "--search-wait", "800"};
    args.insert(args.end(), kAdmin.begin(), kAdmin.end());
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// The lines of standard error that begin with `prefix`, the prefix removed
// (the engine's diagnostic lines share the stream).
std::vector<std::string> lines_after(const std::string& err, const std::string& prefix) {
    std::vector<std::string> out;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
    return out;
}

size_t commands(const CamSim& sim) {
    size_t n = 0;
    for (const Datagram& d : sim.received()) n += d.bytes.rfind("CMD * HDS/1.0\r\n", 0) == 0;
    return n;
}

size_t searches(const CamSim& sim, const std::string& proto) {
    size_t n = 0;
    for (const auto& e : sim.events("search")) n += e["proto"] == proto;
    return n;
}

class KeplinChecksLab : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(lab.pcInterfaces.size(), 2u) << "the lab needs --pc-ifaces 2";
    }
    Lab lab = Lab::require();
};

}  // namespace

TEST_F(KeplinChecksLab, SearchCheckWarnsOnStandardErrorAndKeepsItsStatus) {
    const std::string pc = lab.pcAddresses[1];
    CamSim text(lab, 0, {"--camera", "kind=text,ip=10.213.0.50,mac=02:4B:53:00:01:01,name=Fine",
                         "--camera", "kind=text,ip=172.16.5.5,mac=02:4B:53:00:01:02,name=Faraway",
                         "--camera", "kind=text,ip=" + pc + ",mac=02:4B:53:00:01:03,name=Squatter",
                         "--camera", "kind=text,ip=10.213.0.80,mac=02:4B:53:00:01:09,name=Both"});
    CamSim broadcast(lab, 1, {"--camera", "kind=broadcast,ip=10.213.0.70,mac=02:4B:53:00:02:01,name=Twin 1",
                              "--camera", "kind=broadcast,ip=10.213.0.70,mac=02:4B:53:00:02:02,name=Twin 2",
                              "--camera", "kind=broadcast,ip=10.213.0.80,mac=02:4B:53:00:01:09,name=Both"});

    ProgramOutput plain = run({"search", "--wait", "800", "--format", "csv"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(lines_after(plain.err, "keplin: warning: ").empty()) << plain.err;

    ProgramOutput checked = run({"search", "--check", "--wait", "800", "--format", "csv"});
    ASSERT_EQ(checked.status, 0) << checked.err;
    EXPECT_EQ(checked.out.find("warning"), std::string::npos) << "the list stays clean for scripts";
    std::vector<std::string> warnings = lines_after(checked.err, "keplin: warning: ");
    std::sort(warnings.begin(), warnings.end());
    EXPECT_EQ(warnings,
              (std::vector<std::string>{
                  "10.213.0.70 is held by 2 cameras: L 10.213.0.70 02:4B:53:00:02:01 \"Twin 1\", "
                  "L 10.213.0.70 02:4B:53:00:02:02 \"Twin 2\"",
                  "M " + pc + " 02:4B:53:00:01:03 \"Squatter\" holds this PC's address " + pc + " (" +
                      lab.pcInterfaces[1] + ")",
                  "M 172.16.5.5 02:4B:53:00:01:02 \"Faraway\" is outside every subnet of this PC's adapters (its "
                  "web page cannot be opened from here); found through one of " +
                      lab.pcInterfaces[0] + ", " + lab.pcInterfaces[1],
              }))
        << checked.err;
}

TEST_F(KeplinChecksLab, SetRefusesAnAddressAnotherCameraOrThisPcHolds) {
    CamSim text(lab, 0, {"--camera", "kind=text,id=" + kId1 + ",ip=10.213.0.50,gateway=10.213.0.254,name=Mover"});
    CamSim broadcast(lab, 1, {"--camera", "kind=broadcast,ip=10.213.0.70,mac=02:4B:53:00:02:01,name=Holder"});

    ProgramOutput refused = run(set_args(kId1, {"--ip", "10.213.0.70"}));
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find("keplin: 10.213.0.70 is held by another listed camera: L 10.213.0.70 "
                               "02:4B:53:00:02:01 \"Holder\"\n"),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("--force"), std::string::npos);
    EXPECT_EQ(refused.out, "");

    ProgramOutput own = run(set_args(kId1, {"--ip", lab.pcAddresses[1], "--force"}));
    EXPECT_EQ(own.status, 2) << own.err;
    EXPECT_NE(own.err.find(lab.pcAddresses[1] + " is an address of this PC"), std::string::npos) << own.err;
    EXPECT_EQ(commands(text), 0u) << "nothing was sent";

    ProgramOutput forced = run(set_args(kId1, {"--ip", "10.213.0.70", "--force"}));
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_NE(forced.err.find("keplin: warning: 10.213.0.70 is held by another listed camera"), std::string::npos)
        << forced.err;
    // Commands go out through both adapters.
    EXPECT_GE(commands(text), 1u);
    ASSERT_TRUE(waitFor([&] { return !text.events("applied").empty(); }));
    EXPECT_EQ(text.events("applied").back()["settings"]["ip"], "10.213.0.70");

    // Moving out of this PC's subnets is allowed, with a warning.
    ProgramOutput away = run(set_args(kId1, {"--ip", "172.16.0.9"}));
    EXPECT_EQ(away.status, 0) << away.err;
    EXPECT_EQ(lines_after(away.err, "keplin: warning: "),
              std::vector<std::string>{"172.16.0.9 is outside every subnet of this PC's adapters: the camera's web "
                                       "page could not be opened from here at its new address"});
    EXPECT_TRUE(waitFor([&] { return text.events("applied").back()["settings"]["ip"] == "172.16.0.9"; }));
}

TEST_F(KeplinChecksLab, VerifyFindsTheCameraAtItsNewAddressAndPortAfterItsRestart) {
    CamSim text(lab, 0, {"--restart-delay-ms", "700", "--camera",
                         "kind=text,id=" + kId1 + ",ip=10.213.0.50,mac=02:4B:53:00:01:01,name=Door"});
    CamSim broadcast(lab, 1, {"--restart-delay-ms", "700", "--camera",
                              "kind=broadcast,ip=10.213.0.70,mac=02:4B:53:00:02:01,name=Gate"});
    const std::vector<std::string> verify = {"--verify", "--restart-wait", "200", "--verify-timeout", "5000"};
    auto with_verify = [&](std::vector<std::string> more) {
        more.insert(more.end(), verify.begin(), verify.end());
        return more;
    };

    ProgramOutput door = run(set_args(kId1, with_verify({"--ip", "10.213.0.60", "--http-port", "8080"})));
    ASSERT_EQ(door.status, 0) << door.err;
    EXPECT_EQ(door.out,
              "camera: M 10.213.0.50 02:4B:53:00:01:01 \"Door\"\n"
              "netconf: 200 (accepted)\n"
              "httpport: 200 (accepted)\n"
              "verify: answered (at 10.213.0.60 port 8080)\n");
    // Searched again while the camera was silent, and until it answered.
    EXPECT_GE(searches(text, "text"), 3u);

    ProgramOutput gate = run(set_args("10.213.0.70", with_verify({"--ip", "10.213.0.71", "--format", "json"})));
    ASSERT_EQ(gate.status, 0) << gate.err;
    const nlohmann::json report = nlohmann::json::parse(gate.out);
    EXPECT_EQ(report["result"], "success");
    EXPECT_EQ(report["steps"].back(),
              (nlohmann::json{{"request", "verify"}, {"outcome", "answered"}, {"detail", "at 10.213.0.71 port 80"}}));
    EXPECT_TRUE(report["notes"].empty()) << "no advice to search again";
}

TEST_F(KeplinChecksLab, VerifyFailsForACameraElsewhereOrSilent) {
    CamSim elsewhere(lab, 0, {"--camera", "kind=text,id=" + kId1 + ",ip=10.213.0.50,mac=02:4B:53:00:01:01,"
                                          "restart_ip=10.213.0.99"});
    CamSim silent(lab, 1, {"--restart-delay-ms", "60000", "--camera",
                           "kind=text,id=" + kId2 + ",ip=10.213.0.51,mac=02:4B:53:00:01:02"});
    const std::vector<std::string> verify = {"--verify", "--restart-wait", "0", "--verify-timeout", "1200"};
    auto with_verify = [&](std::vector<std::string> more) {
        more.insert(more.end(), verify.begin(), verify.end());
        return more;
    };

    ProgramOutput moved = run(set_args(kId1, with_verify({"--ip", "10.213.0.60"})));
    EXPECT_EQ(moved.status, 6) << moved.err;
    EXPECT_NE(moved.out.find("verify: elsewhere (at 10.213.0.99 port 80, not at 10.213.0.60 port 80)\n"),
              std::string::npos)
        << moved.out;
    EXPECT_NE(moved.err.find("keplin: the camera answers at 10.213.0.99 port 80, not at 10.213.0.60 port 80\n"),
              std::string::npos)
        << moved.err;

    ProgramOutput gone = run(set_args(kId2, with_verify({"--http-port", "8081", "--format", "json"})));
    EXPECT_EQ(gone.status, 6) << gone.err;
    const nlohmann::json report = nlohmann::json::parse(gone.out);
    EXPECT_EQ(report["result"], "not verified");
    EXPECT_EQ(report["steps"].back(), (nlohmann::json{{"request", "verify"},
                                                      {"outcome", "no answer"},
                                                      {"detail", "not found within 1200 ms"}}));
    EXPECT_NE(gone.err.find("keplin: the camera did not answer at 10.213.0.51 port 8081 within 1200 ms after its "
                            "restart\n"),
              std::string::npos)
        << gone.err;
}
