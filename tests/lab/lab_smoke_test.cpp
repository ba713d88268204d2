// The lab itself: its description reaches the test, the PC namespace sees only
// the lab's interfaces, and a camera simulator in each camera namespace
// answers a search sent from the PC.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "lab_support.h"

using namespace keplin::lab;

namespace {

const std::string kSearch =
    "SEARCH * HDS/1.0\r\nCSeq:1\r\nClient-ID:abcdefghijklmnopqrstuvwxyzABCDEF\r\n"
    "Accept-Type:text/HDP\r\nContent-Length:0\r\n\r\n";

TEST(Lab, DescribesItselfToTheCommand) {
  auto lab = Lab::fromEnvironment();
  ASSERT_TRUE(lab) << "run through tests/lab/with-lab.sh";
  EXPECT_EQ(lab->pcAddresses, (std::vector<std::string>{"10.213.0.1", "10.213.0.2"}));
  EXPECT_EQ(lab->pcInterfaces, (std::vector<std::string>{"lan0", "lan1"}));
  EXPECT_EQ(lab->camAddresses, (std::vector<std::string>{"10.213.0.11", "10.213.0.12"}));
  ASSERT_EQ(lab->camNamespaces.size(), 2u);
  for (const auto& ns : lab->camNamespaces) EXPECT_EQ(ns.rfind(lab->prefix, 0), 0u) << ns;
  EXPECT_EQ(lab->netmask, "255.255.255.0");
}

TEST(Lab, PcNamespaceHasOnlyTheLabInterfaces) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator("/sys/class/net"))
    names.insert(e.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"lo", "lan0", "lan1"}));
}

TEST(Lab, CameraSimulatorAnswersInEveryNamespace) {
  Lab lab = Lab::require();
  std::vector<std::unique_ptr<CamSim>> sims;
  for (size_t i = 0; i < lab.camNamespaces.size(); ++i)
    sims.push_back(std::make_unique<CamSim>(
        lab, i, std::vector<std::string>{"--camera", "name=Cam" + std::to_string(i)}));

  UdpSocket pc;
  pc.bind("0.0.0.0", 8002);
  pc.joinGroup("239.255.255.250");
  pc.setMulticastLoop(false);
  pc.sendTo("239.255.255.250", 8002, kSearch);

  std::set<std::string> repliedFrom;
  for (const auto& r : pc.receiveUntilQuiet(500ms))
    if (r.bytes.find("Device-ID=") != std::string::npos) repliedFrom.insert(r.fromAddress);
  EXPECT_EQ(repliedFrom, std::set<std::string>(lab.camAddresses.begin(), lab.camAddresses.end()));

  for (auto& sim : sims) {
    auto got = sim->received();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front().bytes, kSearch);
  }
}

}  // namespace
