// keplin-camsim against requests written by hand in the PC namespace of the
// lab: replies checked byte for byte, commands applied, hostile datagrams
// survived, and hundreds of cameras answering one search.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <set>

#include "lab_support.h"

using namespace keplin::lab;

namespace {

const std::string kGroup = "239.255.255.250";
const std::string kClient = "QwErTyUiOpAsDfGhJkLzXcVbNmQwErTy";
const std::string kCamId = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";

std::string search(int cseq, const std::string& client = kClient) {
  return "SEARCH * HDS/1.0\r\nCSeq:" + std::to_string(cseq) + "\r\nClient-ID:" + client +
         "\r\nAccept-Type:text/HDP\r\nContent-Length:0\r\n\r\n";
}

std::string command(int cseq, const std::string& credentials, const std::string& deviceId,
                    const std::string& body) {
  return "CMD * HDS/1.0\r\nCSeq:" + std::to_string(cseq) + "\r\nClient-ID:" + kClient +
         "\r\nAccept-Type:text/HDP\r\nAuthorization:Basic " + credentials + "\r\nDevice-ID:" +
         deviceId + "\r\nContent-Length:" + std::to_string(body.size()) + "\r\n\r\n" + body +
         "\r\n\r\n";
}

std::string commandResult(const std::string& statusLine, int cseq, const std::string& deviceId) {
  return statusLine + "\r\nCSeq:" + std::to_string(cseq) + "\r\nClient-ID:" + kClient +
         "\r\nDevice-ID:" + deviceId + "\r\nContent-Length:0\r\n\r\n";
}

// The value of "Key=" in a search reply, or "<absent>".
std::string field(const std::string& reply, const std::string& key) {
  size_t at = reply.find("\r\n" + key + "=");
  if (at == std::string::npos) return "<absent>";
  at += key.size() + 3;
  return reply.substr(at, reply.find("\r\n", at) - at);
}

std::string text(const std::string& record, size_t offset) {
  return std::string(record.c_str() + offset, strnlen(record.c_str() + offset, record.size() - offset));
}

uint32_t le32(const std::string& bytes, size_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[offset + i]);
  return v;
}

// The PC side of the text protocol: bound to the discovery port, in the group.
struct TextPeer {
  explicit TextPeer(uint16_t port = 8002) : port(port) {
    socket.bind("0.0.0.0", port);
    socket.joinGroup(kGroup);
    socket.setMulticastLoop(false);
    socket.setReceiveBuffer(8 << 20);
  }
  void send(const std::string& bytes) { socket.sendTo(kGroup, port, bytes); }
  std::vector<std::string> replies(std::chrono::milliseconds quiet = 400ms) {
    std::vector<std::string> out;
    for (auto& r : socket.receiveUntilQuiet(quiet)) out.push_back(r.bytes);
    return out;
  }
  uint16_t port;
  UdpSocket socket;
};

// The PC side of the broadcast protocol: an unbound socket, as the engine uses.
struct BroadcastPeer {
  BroadcastPeer() {
    socket.setBroadcast(true);
    socket.setReceiveBuffer(8 << 20);
  }
  void send(const std::string& bytes) { socket.sendTo("255.255.255.255", 8600, bytes); }
  std::vector<std::string> replies(std::chrono::milliseconds quiet = 400ms) {
    std::vector<std::string> out;
    for (auto& r : socket.receiveUntilQuiet(quiet)) out.push_back(r.bytes);
    return out;
  }
  UdpSocket socket;
};

const std::string kSearchRequest("DH\x01\x01", 4);

class CamsimTest : public ::testing::Test {
 protected:
  Lab lab = Lab::require();
};

TEST_F(CamsimTest, SearchReplyCarriesEveryFieldAndEchoesTheRequest) {
  CamSim sim(lab, 0,
             {"--count", "2", "--camera",
              "id=" + kCamId + ",mac=00:1A:2B:3C:4D:5E,ip=10.1.2.3,mask=255.255.0.0,"
              "gateway=10.1.0.1,fdns=10.1.0.2,sdns=10.1.0.3,dhcp=1,dnsstat=2,name=Door 7,"
              "model=M1,sw=S1,web=W1,http_port=8080,vendor=V,product=P,type=T"});
  TextPeer pc;
  const std::string request = search(41);
  pc.send(request);
  auto replies = pc.replies();
  ASSERT_EQ(replies.size(), 2u);

  const std::string body =
      "Device-ID=" + kCamId + "\r\nDevice-Model=M1\r\nSoftware-Version=S1\r\nWeb-Version=W1\r\n"
      "Device-Name=Door 7\r\nHttp-Port=8080\r\nIP=10.1.2.3\r\nMASK=255.255.0.0\r\n"
      "MAC=00:1A:2B:3C:4D:5E\r\nGateway=10.1.0.1\r\nDhcp=1\r\nDdns=2\r\nFdns=10.1.0.2\r\n"
      "Sdns=10.1.0.3\r\nDDNS-Enable=0\r\nDDNS-Host=\r\nDDNS-Port=0\r\nDDNS-User=\r\n"
      "DDNS-Passwd=\r\nDDNS-Domain=\r\nC_Vendor=V\r\nC_Product=P\r\nDevice-Type=T\r\n";
  EXPECT_EQ(replies[0], "HDS/1.0 200 OK\r\nCSeq:41\r\nClient-ID:" + kClient +
                            "\r\nContent-Type:text/HDP\r\nContent-Length:" +
                            std::to_string(body.size()) + "\r\n\r\n" + body);

  // The second camera of the definition: id, name, MAC and IP advanced by one.
  EXPECT_EQ(field(replies[1], "Device-ID"), "ABCDEFGHIJKLMNOPQRSTUVWXYZ012346");
  EXPECT_EQ(field(replies[1], "Device-Name"), "Door 8");
  EXPECT_EQ(field(replies[1], "MAC"), "00:1A:2B:3C:4D:5F");
  EXPECT_EQ(field(replies[1], "IP"), "10.1.2.4");

  auto got = sim.received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes, request);
  EXPECT_EQ(got[0].from, lab.pcAddresses[0] + ":8002");
  auto searches = sim.events("search");
  ASSERT_EQ(searches.size(), 1u);
  EXPECT_EQ(searches[0]["replies"], 2);
}

TEST_F(CamsimTest, AnswersOnTheFallbackPortToo) {
  CamSim sim(lab, 1, {"--camera", "name=Fallback"});
  TextPeer pc(12109);
  pc.send(search(3));
  auto replies = pc.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(field(replies[0], "Device-Name"), "Fallback");
}

TEST_F(CamsimTest, CommandStatusFollowsCredentialsAndConfiguredResult) {
  const std::string refusing = "ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ";
  CamSim sim(lab, 0,
             {"--camera", "id=" + kCamId + ",user=op,password=pw",  //
              "--camera", "id=" + refusing + ",cmd_result=403"});
  TextPeer pc;
  const std::string body = "httpport set -httpport 81";

  pc.send(command(5, "op:wrong", kCamId, body));
  EXPECT_EQ(pc.replies(), std::vector<std::string>{
                              commandResult("HDS/1.0 401 Unauthorized", 5, kCamId)});
  pc.send(command(6, "op:pw", kCamId, body));
  EXPECT_EQ(pc.replies(), std::vector<std::string>{commandResult("MCTP/1.0 200 OK", 6, kCamId)});
  pc.send(command(7, "admin:admin", refusing, body));
  EXPECT_EQ(pc.replies(),
            std::vector<std::string>{commandResult("HDS/1.0 403 Forbidden", 7, refusing)});
  // Only the camera named by Device-ID answers; an unknown id gets silence.
  pc.send(command(8, "op:pw", "00000000000000000000000000000000", body));
  EXPECT_TRUE(pc.replies(300ms).empty());
  EXPECT_EQ(sim.events("ignored").size(), 1u);

  // Only the accepted command changed the port.
  pc.send(search(9));
  auto replies = pc.replies();
  std::map<std::string, std::string> ports;
  for (auto& r : replies) ports[field(r, "Device-ID")] = field(r, "Http-Port");
  EXPECT_EQ(ports, (std::map<std::string, std::string>{{kCamId, "81"}, {refusing, "80"}}));
}

TEST_F(CamsimTest, NetworkSettingsApplyAfterTheRestart) {
  CamSim sim(lab, 0,
             {"--restart-delay-ms", "800", "--camera",
              "id=" + kCamId + ",mac=00:1A:2B:3C:4D:5E,ip=10.1.2.3"});
  TextPeer pc;
  pc.send(command(1, "admin:admin", kCamId,
                  "netconf set -ipaddr 10.9.8.7 -netmask 255.0.0.0 -gateway 10.0.0.254 -dhcp on "
                  "-fdnsip 1.1.1.1 -sdnsip 9.9.9.9 -dnsstat 3 -hwaddr 00:1A:2B:3C:4D:5E"));
  EXPECT_EQ(pc.replies(200ms).size(), 1u);
  // The port change that follows a netconf is still answered during the restart.
  pc.send(command(2, "admin:admin", kCamId, "httpport set -httpport 8081"));
  EXPECT_EQ(pc.replies(200ms), std::vector<std::string>{commandResult("MCTP/1.0 200 OK", 2, kCamId)});

  pc.send(search(3));
  EXPECT_TRUE(pc.replies(200ms).empty()) << "a restarting camera does not answer searches";
  EXPECT_EQ(sim.events("search").at(0)["restarting"], 1);

  ASSERT_TRUE(waitFor([&] { return !sim.events("applied").empty(); }, 3s));
  pc.send(search(4));
  auto replies = pc.replies();
  ASSERT_EQ(replies.size(), 1u);
  const std::string& r = replies[0];
  EXPECT_EQ(field(r, "IP"), "10.9.8.7");
  EXPECT_EQ(field(r, "MASK"), "255.0.0.0");
  EXPECT_EQ(field(r, "Gateway"), "10.0.0.254");
  EXPECT_EQ(field(r, "Dhcp"), "1");
  EXPECT_EQ(field(r, "Fdns"), "1.1.1.1");
  EXPECT_EQ(field(r, "Sdns"), "9.9.9.9");
  EXPECT_EQ(field(r, "Ddns"), "3");
  EXPECT_EQ(field(r, "Http-Port"), "8081");
  EXPECT_EQ(field(r, "MAC"), "00:1A:2B:3C:4D:5E");
}

TEST_F(CamsimTest, CameraLostInItsRestartNeverAnswersAgain) {
  const std::string lost = "KLLOSTCAMERA00000000000000000001";
  const std::string other = "KLOTHERCAMERA0000000000000000001";
  CamSim sim(lab, 0,
             {"--camera", "id=" + lost + ",mac=00:1A:2B:3C:4D:01,ip=10.1.2.3,after_restart=never",  //
              "--camera", "id=" + other + ",mac=00:1A:2B:3C:4D:02,ip=10.1.2.4,"
                          "ddns_user=dd,ddns_passwd=s3cret"});
  TextPeer pc;
  pc.send(search(1));
  auto before = pc.replies();
  ASSERT_EQ(before.size(), 2u);
  EXPECT_EQ(field(before[1], "DDNS-User"), "dd");
  EXPECT_EQ(field(before[1], "DDNS-Passwd"), "s3cret");

  pc.send(command(2, "admin:admin", lost, "netconf set -ipaddr 10.1.2.50 -netmask 255.255.255.0"));
  pc.send(command(3, "admin:admin", other, "netconf set -ipaddr 10.1.2.51 -netmask 255.255.255.0"));
  EXPECT_EQ(pc.replies(200ms).size(), 2u) << "both accept the change";

  pc.send(search(4));
  auto after = pc.replies();
  ASSERT_EQ(after.size(), 1u) << "the lost camera stays silent";
  EXPECT_EQ(field(after[0], "Device-ID"), other);
  EXPECT_EQ(field(after[0], "IP"), "10.1.2.51");
}

TEST_F(CamsimTest, CameraWithARestartAddressComesBackThereWithTheOtherChanges) {
  CamSim sim(lab, 0, {"--camera", "id=" + kCamId + ",ip=10.1.2.3,restart_ip=10.7.7.7"});
  TextPeer pc;
  pc.send(command(1, "admin:admin", kCamId,
                  "netconf set -ipaddr 10.9.8.7 -netmask 255.0.0.0 -gateway 10.0.0.254 -dhcp off"));
  pc.send(command(2, "admin:admin", kCamId, "httpport set -httpport 8081"));
  EXPECT_EQ(pc.replies(200ms).size(), 2u);
  ASSERT_TRUE(waitFor([&] { return sim.events("applied").size() == 2; }, 3s));
  pc.send(search(3));
  auto replies = pc.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(field(replies[0], "IP"), "10.7.7.7");
  EXPECT_EQ(field(replies[0], "MASK"), "255.0.0.0");
  EXPECT_EQ(field(replies[0], "Http-Port"), "8081");

  EXPECT_NE(runProgram({Lab::kitPath("keplin-camsim"), "--camera", "restart_ip=10.7.7"}).status, 0);
}

TEST_F(CamsimTest, BroadcastSearchAnswersTheRequesterWithTheRecord) {
  CamSim sim(lab, 1,
             {"--camera",
              "kind=broadcast,mac=00:1A:2B:3C:4D:5E,ip=10.1.2.3,mask=255.255.0.0,gateway=10.1.0.1,"
              "fdns=10.1.0.2,http_port=8080,name=Yard,sw=S1.2,web=W3.4,user=viewer,"
              "password=p4ss,dhcp=1"});
  BroadcastPeer pc;
  pc.send(kSearchRequest);
  auto replies = pc.replies();
  ASSERT_EQ(replies.size(), 1u);
  const std::string& r = replies[0];
  ASSERT_EQ(r.size(), 324u);
  EXPECT_EQ(r.substr(0, 2), "DH");
  EXPECT_EQ(text(r, 4), "10.1.2.3");
  EXPECT_EQ(text(r, 20), "255.255.0.0");
  EXPECT_EQ(text(r, 36), "10.1.0.1");
  EXPECT_EQ(text(r, 68), "10.1.0.2");
  EXPECT_EQ(r.substr(84, 6), std::string("\x00\x1a\x2b\x3c\x4d\x5e", 6));
  EXPECT_EQ(static_cast<uint8_t>(r[90]) | static_cast<uint8_t>(r[91]) << 8, 8080);
  EXPECT_EQ(text(r, 124), "Yard");
  EXPECT_EQ(text(r, 204), "S1.2");
  EXPECT_EQ(text(r, 220), "W3.4");
  EXPECT_EQ(text(r, 236), "viewer");
  EXPECT_EQ(text(r, 268), "p4ss");
  EXPECT_EQ(r[301], 1);

  auto got = sim.received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes, kSearchRequest);
  EXPECT_EQ(got[0].from, lab.pcAddresses[0] + ":" + std::to_string(pc.socket.localPort()));
}

TEST_F(CamsimTest, BroadcastSetIsAnsweredWithItsCodeAndApplied) {
  CamSim sim(lab, 1,
             {"--camera", "kind=broadcast,mac=00:00:00:00:00:01,ip=10.1.2.3",  //
              "--camera", "kind=broadcast,mac=00:00:00:00:00:02,set_result=0x8001,nonfinal_first=1"});
  BroadcastPeer pc;
  pc.send(kSearchRequest);
  auto records = pc.replies();
  ASSERT_EQ(records.size(), 2u);

  // Change the first camera's record the way the settings dialog does.
  std::string set = records[0];
  set[2] = 0x02;
  set[3] = 0x01;
  auto put = [&](size_t offset, size_t size, const std::string& value) {
    std::memset(&set[offset], 0, size);
    std::memcpy(&set[offset], value.data(), value.size());
  };
  put(4, 16, "10.5.5.5");
  put(236, 32, "newuser");
  put(268, 33, "newpass");
  set[90] = static_cast<char>(0x51), set[91] = 0;  // port 81
  pc.send(set);
  auto results = pc.replies();
  ASSERT_EQ(results.size(), 1u);
  ASSERT_EQ(results[0].size(), 328u);
  EXPECT_EQ(results[0].substr(0, 324), set);
  EXPECT_EQ(le32(results[0], 324), 0x8000u);

  std::string refused = records[1];
  refused[2] = 0x02;
  refused[3] = 0x01;
  pc.send(refused);
  results = pc.replies();
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(le32(results[0], 324), 0x0001u);
  EXPECT_EQ(le32(results[1], 324), 0x8001u);

  // A set request for a MAC nobody has stays unanswered.
  std::string stranger = set;
  stranger[89] = 0x7f;
  pc.send(stranger);
  EXPECT_TRUE(pc.replies(300ms).empty());

  pc.send(kSearchRequest);
  records = pc.replies();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(text(records[0], 4), "10.5.5.5");
  EXPECT_EQ(static_cast<uint8_t>(records[0][90]), 81);
  EXPECT_EQ(text(records[0], 236), "newuser");
  EXPECT_EQ(text(records[0], 268), "newpass");
  EXPECT_EQ(text(records[1], 4), "192.168.1.101") << "a refused set changes nothing";
}

TEST_F(CamsimTest, CamerasSharingAFactoryAddressAreToldApartByIdAndMac) {
  CamSim sim(lab, 0,
             {"--restart-delay-ms", "1500", "--count", "3",  //
              "--camera", "kind=text,id=" + kCamId + ",mac=02:00:00:00:01:01,ip=192.168.1.64,ip_step=0",
              "--camera", "kind=broadcast,mac=02:00:00:00:02:01,ip=192.168.1.64,ip_step=0"});
  TextPeer text_pc;
  BroadcastPeer broadcast_pc;
  auto textCameras = [&] {
    text_pc.send(search(1));
    std::map<std::string, std::string> ip_by_id;
    for (auto& r : text_pc.replies()) ip_by_id[field(r, "Device-ID")] = field(r, "IP");
    return ip_by_id;
  };
  auto broadcastCameras = [&] {
    broadcast_pc.send(kSearchRequest);
    std::map<std::string, std::string> ip_by_mac;
    for (auto& r : broadcast_pc.replies()) ip_by_mac[r.substr(84, 6)] = text(r, 4);
    return ip_by_mac;
  };
  const std::string second_id = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012346";
  const std::string second_mac("\x02\x00\x00\x00\x02\x02", 6);

  auto ids = textCameras();
  ASSERT_EQ(ids.size(), 3u) << "ids still advance";
  for (auto& [id, ip] : ids) EXPECT_EQ(ip, "192.168.1.64") << id;
  broadcast_pc.send(kSearchRequest);
  auto records = broadcast_pc.replies();
  ASSERT_EQ(records.size(), 3u);
  std::set<std::string> macs;
  for (auto& r : records) {
    macs.insert(r.substr(84, 6));
    EXPECT_EQ(text(r, 4), "192.168.1.64");
  }
  EXPECT_EQ(macs.size(), 3u) << "MACs still advance";

  // A command for the second text camera moves only that one.
  text_pc.send(command(2, "admin:admin", second_id, "netconf set -ipaddr 192.168.1.65"));
  auto results = text_pc.replies(200ms);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0], commandResult("MCTP/1.0 200 OK", 2, second_id));
  // And a set request for the second broadcast camera's MAC moves only it.
  std::string set;
  for (auto& r : records)
    if (r.substr(84, 6) == second_mac) set = r;
  ASSERT_FALSE(set.empty());
  set[2] = 0x02;
  set[3] = 0x01;
  std::memset(&set[4], 0, 16);
  std::memcpy(&set[4], "192.168.1.66", 12);
  broadcast_pc.send(set);
  results = broadcast_pc.replies(200ms);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(le32(results[0], 324), 0x8000u);

  EXPECT_EQ(textCameras().size(), 2u) << "the restarting camera is silent";
  EXPECT_EQ(broadcastCameras().size(), 2u);
  ASSERT_TRUE(waitFor([&] { return sim.events("applied").size() == 2; }, 5s));
  ids = textCameras();
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_EQ(ids[second_id], "192.168.1.65");
  EXPECT_EQ(ids[kCamId], "192.168.1.64");
  auto ips = broadcastCameras();
  ASSERT_EQ(ips.size(), 3u);
  EXPECT_EQ(ips[second_mac], "192.168.1.66");
  EXPECT_EQ(ips[std::string("\x02\x00\x00\x00\x02\x01", 6)], "192.168.1.64");
}

TEST_F(CamsimTest, SurvivesHostileDatagrams) {
  CamSim sim(lab, 0, {"--camera", "id=" + kCamId, "--camera", "kind=broadcast"});
  TextPeer text;
  BroadcastPeer bcast;
  std::mt19937 rng(7);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  std::string garbageSet(324, '\0');
  for (char& c : garbageSet) c = static_cast<char>(rng());
  garbageSet.replace(0, 4, "DH\x02\x01", 4);

  const std::vector<std::string> hostile = {
      "",
      std::string(65507, 'A'),
      noise,
      "CMD * HDS/1.0",
      "CMD * HDS/1.0\r\n",
      "CMD * HDS/1.0\r\nDevice-ID:" + kCamId,
      "CMD * HDS/1.0\r\nAuthorization:Basic admin:admin\r\nDevice-ID:" + kCamId +
          "\r\nContent-Length:999999999999\r\n\r\nnetconf set -ipaddr",
      "CMD * HDS/1.0\r\nAuthorization:Basic admin:admin\r\nDevice-ID:" + kCamId +
          "\r\nContent-Length:40\r\n\r\nnetconf set -dnsstat 99999999999999 -dhcp maybe -ipaddr",
      // Accepted, so the bytes (not valid UTF-8) reach the camera's settings and its log.
      command(1, "admin:admin", kCamId, "netconf set -ipaddr \xaa\xff\x01 -netmask \"\\"),
      "SEARCH * HDS/1.0",
      std::string("SEARCH * HDS/1.0\0\r\n", 19),
  };
  for (const auto& d : hostile) {
    text.send(d);
    bcast.send(d);
  }
  bcast.send(std::string("DH\x02\x01", 4));
  bcast.send(garbageSet);
  bcast.send(std::string(70, '\xff'));
  text.replies(300ms);
  bcast.replies(300ms);

  ASSERT_TRUE(sim.process().running());
  text.send(search(77));
  auto replies = text.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(field(replies[0], "Device-ID"), kCamId);
  bcast.send(kSearchRequest);
  EXPECT_EQ(bcast.replies().size(), 1u);

  bool sawLargest = false;
  for (auto& d : sim.received())
    if (d.bytes == std::string(65507, 'A')) sawLargest = true;
  EXPECT_TRUE(sawLargest) << "the log keeps the whole datagram";
  EXPECT_EQ(WEXITSTATUS(sim.process().stop()), 0);
}

TEST_F(CamsimTest, FiveHundredCamerasOfEachKindAnswerOneSearch) {
  CamSim sim(lab, 1, {"--count", "500", "--camera", "kind=text", "--camera", "kind=broadcast"});
  TextPeer text;
  BroadcastPeer bcast;
  text.send(search(1));
  bcast.send(kSearchRequest);

  std::set<std::string> ids, addresses;
  for (auto& r : text.replies(1s)) ids.insert(field(r, "Device-ID"));
  for (auto& r : bcast.replies(1s)) addresses.insert(std::string(r.c_str() + 4));
  EXPECT_EQ(ids.size(), 500u);
  EXPECT_EQ(addresses.size(), 500u);
  for (auto& e : sim.events("search")) EXPECT_EQ(e["replies"], 500) << e.dump();
}

}  // namespace
