// A search survives a flood of hostile answers: keplin-flood answers a running
// `keplin search` with junk, over-long values, bogus replies and results on
// the text protocol and random replies of every size on the broadcast one;
// genuine cameras of both protocols answer after the burst. Nothing may
// crash, the output must stay valid JSON and every genuine camera must be
// listed. Datagrams the kernel dropped are reported, not failed: how many get
// through depends on the machine, not on the code.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "lab_support.h"
#include "traffic.h"

using namespace keplin::lab;

namespace {

// The sanitizer build is several times slower; it gets a smaller flood so that
// the test stays within about ten seconds either way.
#ifndef FLOOD_DATAGRAMS
#define FLOOD_DATAGRAMS 100000
#endif
#ifndef FLOOD_RATE
#define FLOOD_RATE 40000
#endif
constexpr long kDatagrams = FLOOD_DATAGRAMS;
constexpr long kBroadcastShare = kDatagrams / 5;
constexpr long kRate = FLOOD_RATE;
constexpr int kGenuinePerProtocol = 20;

// One counter of the "Udp:" lines of /proc/net/snmp, which is per network
// namespace: read in the test, it counts the PC side only.
long udpCounter(const std::string& name) {
  std::ifstream snmp("/proc/net/snmp");
  std::string header, values;
  while (std::getline(snmp, header)) {
    if (header.rfind("Udp:", 0) != 0 || !std::getline(snmp, values)) continue;
    std::istringstream names(header.substr(4)), numbers(values.substr(4));
    std::string n;
    long v = 0;
    while (names >> n && numbers >> v)
      if (n == name) return v;
  }
  return -1;
}

std::string genuineMac(int protocol, int index) {
  char mac[18];
  std::snprintf(mac, sizeof mac, "02:%d0:00:00:00:%02X", protocol, index + 1);
  return mac;
}

uint64_t floodSeed() {
  if (const char* fixed = std::getenv("KEPLIN_FLOOD_SEED")) return std::strtoull(fixed, nullptr, 10);
  return std::random_device{}();
}

}  // namespace

TEST(FloodLab, EveryGenuineCameraIsListedAfterAHostileFlood) {
  const Lab lab = Lab::require();
  ASSERT_GE(lab.camNamespaces.size(), 2u);
  const std::string dir = makeTempDir();
  struct Cleanup {
    std::string dir;
    ~Cleanup() { std::filesystem::remove_all(dir); }
  } cleanup{dir};

  // The genuine cameras hold back their answers until the flood has passed,
  // even when a busy machine halves its pace. A trickle of hostile answers
  // follows the flood, as on a network that never falls silent.
  const long burst_ms = kDatagrams * 1000 / kRate;
  const long genuine_after_ms = burst_ms * 2 + 1000;
  const long search_ms = genuine_after_ms + 1500;
  const std::string delay = std::to_string(genuine_after_ms);
  NamespaceProcess cameras(lab.camNamespaces[0],
                           {Lab::kitPath("keplin-camsim"), "--count", std::to_string(kGenuinePerProtocol),
                            "--camera", "kind=text,mac=" + genuineMac(1, 0) + ",reply_delay_ms=" + delay,
                            "--camera", "kind=broadcast,mac=" + genuineMac(2, 0) + ",ip=10.214.1.1,reply_delay_ms=" + delay});

  const uint64_t seed = floodSeed();
  std::printf("flood: %ld datagrams (%ld broadcast) at %ld/s, seed %llu (KEPLIN_FLOOD_SEED repeats it)\n", kDatagrams,
              kBroadcastShare, kRate, static_cast<unsigned long long>(seed));
  const std::string report = dir + "/flood.json";
  NamespaceProcess flood(lab.camNamespaces[1],
                         {Lab::kitPath("keplin-flood"), "--text", std::to_string(kDatagrams - kBroadcastShare),
                          "--broadcast", std::to_string(kBroadcastShare), "--rate", std::to_string(kRate), "--seed",
                          std::to_string(seed), "--wait-ms", "10000", "--tail-ms", "60000", "--report", report});

  const long dropped_before = udpCounter("RcvbufErrors");
  ProgramOutput search =
      runProgram({Lab::kitPath("keplin"), "search", "--format", "json", "--wait", std::to_string(search_ms)});
  const long dropped = udpCounter("RcvbufErrors") - dropped_before;

  ASSERT_TRUE(flood.running()) << "keplin-flood ended before the search did";
  const int flood_status = flood.stop();
  EXPECT_TRUE(WIFEXITED(flood_status) && WEXITSTATUS(flood_status) == 0) << "keplin-flood wait status " << flood_status;
  std::ifstream sent(report);
  std::string sent_line;
  std::getline(sent, sent_line);
  std::printf("flood sent: %s\n", sent_line.c_str());
  // A flood that missed the search would make this test pass for nothing.
  const nlohmann::json sent_report = nlohmann::json::parse(sent_line, nullptr, false);
  ASSERT_TRUE(sent_report.is_object() && sent_report.contains("sent")) << "keplin-flood wrote no report";
  EXPECT_GE(sent_report["sent"].get<long>(), kDatagrams);
  EXPECT_TRUE(cameras.running()) << "the camera simulator ended during the flood";

  ASSERT_EQ(search.status, 0) << search.err;
  nlohmann::json listed = nlohmann::json::parse(search.out, nullptr, false);
  ASSERT_FALSE(listed.is_discarded()) << "keplin's output is not JSON";
  ASSERT_TRUE(listed.contains("devices") && listed["devices"].is_array());

  std::set<std::string> macs;
  for (const nlohmann::json& device : listed["devices"])
    if (device.contains("mac") && device["mac"].is_string()) macs.insert(device["mac"].get<std::string>());
  std::printf("listed %zu entries; the kernel dropped %ld datagrams on the PC (RcvbufErrors)\n",
              listed["devices"].size(), dropped);
  for (int protocol : {1, 2})
    for (int i = 0; i < kGenuinePerProtocol; ++i)
      EXPECT_EQ(macs.count(genuineMac(protocol, i)), 1u)
          << (protocol == 1 ? "text" : "broadcast") << " camera " << genuineMac(protocol, i) << " is missing";
}

// The generator itself: a seed repeats a flood exactly, every kind is sent, and
// the datagrams that are meant to pass the client identifier check carry it
// where a receiver reads it.
TEST(FloodTraffic, SeededKindsAndClientIdentifier) {
  const std::string id = "AbCdEfGhIjKlMnOpQrStUvWxYzAbCdEf";
  flood::HostileTraffic a(42, id, "7"), b(42, id, "7");
  std::set<int> text_kinds, broadcast_kinds;
  size_t shortest = SIZE_MAX, longest = 0;
  for (int i = 0; i < 5000; ++i) {
    flood::Datagram t = a.nextText();
    ASSERT_EQ(t.bytes, b.nextText().bytes);
    text_kinds.insert(t.kind);
    const size_t at = t.bytes.find("Client-ID:" + id);
    if (t.kind == static_cast<int>(flood::TextKind::Foreign)) {
      EXPECT_EQ(at, std::string::npos);
    } else if (t.kind != static_cast<int>(flood::TextKind::Malformed)) {
      ASSERT_NE(at, std::string::npos) << flood::kindName(static_cast<flood::TextKind>(t.kind));
      // The engine reads at most 2048 bytes of a datagram.
      EXPECT_LT(at + 10 + id.size() + 2, 2048u);
    }
    flood::Datagram r = a.nextBroadcast();
    ASSERT_EQ(r.bytes, b.nextBroadcast().bytes);
    broadcast_kinds.insert(r.kind);
    shortest = std::min(shortest, r.bytes.size());
    longest = std::max(longest, r.bytes.size());
  }
  EXPECT_EQ(text_kinds.size(), static_cast<size_t>(flood::TextKind::Count));
  EXPECT_EQ(broadcast_kinds.size(), static_cast<size_t>(flood::BroadcastKind::Count));
  EXPECT_LT(shortest, 16u);
  EXPECT_GT(longest, 2000u);
}
