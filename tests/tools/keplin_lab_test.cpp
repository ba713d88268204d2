// `keplin` end to end in the lab against keplin-camsim: what it lists, what
// each camera receives from `keplin set`, and every exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <set>
#include <thread>

#include "lab_support.h"

using namespace keplin::lab;

namespace {

const std::string kId1 = "KLTESTCAMERA00000000000000000001";
const std::string kId2 = "KLTESTCAMERA00000000000000000002";
const std::string kId3 = "KLTESTCAMERA00000000000000000003";
const std::string kGbkName = "\xB4\xF3\xC3\xC5";  // 大门 in GBK
const std::string kSearchRequest("DH\x01\x01", 4);

using Outcome = ProgramOutput;

// Runs `prefix... keplin args...` and collects its output and exit status.
Outcome run(const std::vector<std::string>& args, const std::vector<std::string>& prefix = {}) {
    std::vector<std::string> argv = prefix;
    argv.push_back(Lab::kitPath("keplin"));
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv);
}

std::vector<std::string> set_args(const std::string& target, std::vector<std::string> more) {
    std::vector<std::string> args = {"set", target, "--search-wait", "1000"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::vector<Datagram> received(const CamSim& sim, const std::string& proto, const std::string& prefix) {
    std::vector<Datagram> out;
    for (Datagram& d : sim.received())
        if (d.proto == proto && d.bytes.compare(0, prefix.size(), prefix) == 0) out.push_back(d);
    return out;
}

std::vector<std::string> commands(const CamSim& sim) {
    std::vector<std::string> out;
    for (Datagram& d : received(sim, "text", "CMD * HDS/1.0\r\n")) out.push_back(d.bytes);
    return out;
}

// The value of a "Name:" line of a request.
std::string header(const std::string& message, const std::string& name) {
    size_t at = message.find("\r\n" + name);
    if (at == std::string::npos) return "<no " + name + ">";
    at += 2 + name.size();
    return message.substr(at, message.find("\r\n", at) - at);
}

bool is_client_id(const std::string& text) {
    return text.size() == 32 &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

// The exact CMD message for `body`, with the sequence number and client
// identifier taken from the message that arrived.
std::string expected_command(const std::string& arrived, const std::string& credentials,
                             const std::string& device_id, const std::string& body) {
    return "CMD * HDS/1.0\r\nCSeq:" + header(arrived, "CSeq:") + "\r\nClient-ID:" + header(arrived, "Client-ID:") +
           "\r\nAccept-Type:text/HDP\r\nAuthorization:Basic " + credentials + "\r\nDevice-ID:" + device_id +
           "\r\nContent-Length:" + std::to_string(body.size()) + "\r\n\r\n" + body + "\r\n\r\n";
}

std::string text_at(const std::string& record, size_t offset, size_t size) {
    std::string field = record.substr(offset, size);
    return field.substr(0, field.find('\0'));
}

void put_text(std::string& record, size_t offset, size_t size, const std::string& text) {
    record.replace(offset, size, std::string(size, '\0'));
    record.replace(offset, text.size(), text);
}

class KeplinLab : public ::testing::Test {
protected:
    Lab lab = Lab::require();
};

}  // namespace

TEST_F(KeplinLab, SearchListsEachCameraOnceWithEveryField) {
    CamSim text(lab, 0,
                {"--camera", "kind=text,id=" + kId1 + ",mac=00:1A:2B:3C:4D:5E,ip=10.213.0.50,name=" + kGbkName +
                                 ",http_port=8080,dhcp=1,dnsstat=2,fdns=10.213.0.53",
                 "--camera", "kind=text,id=" + kId2 + ",mac=00:1a:2b:3c:4d:5e,ip=10.213.0.51",
                 "--camera", "kind=text,id=" + kId3 + ",mac=00:1A:2B:3C:4D:60,ip=10.213.0.52"});
    CamSim broadcast(lab, 1,
                     {"--camera", "kind=broadcast,ip=10.213.0.70,name=Gate,http_port=8081,dhcp=1,fdns=10.213.0.54",
                      "--camera", "kind=broadcast,ip=10.213.0.70,name=Twin",
                      "--camera", "kind=broadcast,ip=10.213.0.52,name=Both"});
    Outcome r = run({"search", "--format", "json", "--wait", "1500"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto devices = nlohmann::json::parse(r.out).at("devices");

    std::map<std::string, nlohmann::json> text_by_mac, broadcast_by_name;
    for (auto& d : devices) {
        if (d.at("kind") == "M") text_by_mac[d.at("mac")] = d;
        else broadcast_by_name[d.at("device_name")] = d;
    }
    // The second camera with the same MAC (the simulator writes MACs in
    // capitals) is not listed; two broadcast cameras sharing .70 both are, and
    // so are a text and a broadcast camera sharing an address.
    EXPECT_EQ(devices.size(), 5u) << r.out;
    ASSERT_EQ(text_by_mac.size(), 2u);
    ASSERT_EQ(broadcast_by_name.size(), 3u);
    EXPECT_EQ(broadcast_by_name["Twin"]["ip"], "10.213.0.70");
    EXPECT_NE(broadcast_by_name["Twin"]["mac"], broadcast_by_name["Gate"]["mac"]);

    const nlohmann::json& first = text_by_mac["00:1A:2B:3C:4D:5E"];
    EXPECT_EQ(first.size(), 24u);
    EXPECT_EQ(first["device_id"], kId1);
    EXPECT_EQ(first["ip"], "10.213.0.50");
    EXPECT_EQ(first["device_name"], "\xE5\xA4\xA7\xE9\x97\xA8");
    EXPECT_EQ(first["http_port"], "8080");
    EXPECT_EQ(first["dhcp"], 1);
    EXPECT_EQ(first["dns_state"], 2);
    EXPECT_EQ(first["fdns"], "10.213.0.53");
    EXPECT_EQ(first["c_vendor"], "KEPLIN");

    const nlohmann::json& gate = broadcast_by_name["Gate"];
    EXPECT_EQ(gate["device_name"], "Gate");
    EXPECT_EQ(gate["http_port"], 8081);
    EXPECT_EQ(gate["dhcp"], 1);
    EXPECT_EQ(gate["dns"], "10.213.0.54");
    EXPECT_EQ(broadcast_by_name["Both"]["ip"], "10.213.0.52");

    // One request of each protocol went out.
    auto searches = received(text, "text", "SEARCH * HDS/1.0\r\n");
    ASSERT_EQ(searches.size(), 1u);
    const std::string client_id = header(searches[0].bytes, "Client-ID:");
    EXPECT_TRUE(is_client_id(client_id)) << client_id;
    EXPECT_EQ(searches[0].bytes, "SEARCH * HDS/1.0\r\nCSeq:1\r\nClient-ID:" + client_id +
                                     "\r\nAccept-Type:text/HDP\r\nContent-Length:0\r\n\r\n");
    auto probes = received(broadcast, "broadcast", "");
    ASSERT_EQ(probes.size(), 1u);
    EXPECT_EQ(probes[0].bytes, kSearchRequest);
}

TEST_F(KeplinLab, SearchFormatsAndProtocolChoice) {
    CamSim text(lab, 0, {"--count", "2", "--camera", "kind=text,ip=10.213.0.50,name=Door"});
    CamSim broadcast(lab, 1, {"--camera", "kind=broadcast,ip=10.213.0.70,name=Gate"});

    Outcome csv = run({"search", "--protocol", "text", "--format", "csv", "--wait", "800"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')).substr(0, 15), "kind,device_id,");
    EXPECT_NE(csv.out.find("\nM,KLSIM"), std::string::npos);
    EXPECT_EQ(csv.out.find("\nL,"), std::string::npos);
    EXPECT_TRUE(received(broadcast, "broadcast", "").empty());  // no broadcast request at all

    Outcome table = run({"search", "--protocol", "broadcast", "--wait", "800"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("Gate"), std::string::npos);
    EXPECT_EQ(table.out.find("Door"), std::string::npos);
    EXPECT_NE(table.out.find("\n1 device\n"), std::string::npos) << table.out;
    EXPECT_EQ(received(text, "text", "SEARCH").size(), 1u);  // only the first run's
}

// Three requests spread across the wait, on the same sockets: a camera whose
// answers come only after the next request went out is still listed, and a
// camera that answers every request is listed once.
TEST_F(KeplinLab, RepeatedSearchKeepsLateAnswersAndListsEachCameraOnce) {
    CamSim text(lab, 0, {"--camera", "kind=text,ip=10.213.0.50,name=Quick door", "--camera",
                         "kind=text,ip=10.213.0.51,name=Slow door,reply_delay_ms=700"});
    CamSim broadcast(lab, 1, {"--camera", "kind=broadcast,ip=10.213.0.70,name=Quick gate", "--camera",
                              "kind=broadcast,ip=10.213.0.71,name=Slow gate,reply_delay_ms=700"});

    Outcome r = run({"search", "--probes", "3", "--wait", "1500", "--format", "csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"Quick door", "Slow door", "Quick gate", "Slow gate"}) {
        const size_t at = r.out.find(name);
        EXPECT_NE(at, std::string::npos) << name << " missing:\n" << r.out;
        EXPECT_EQ(r.out.find(name, at + 1), std::string::npos) << name << " listed twice:\n" << r.out;
    }

    for (auto [sim, proto] : {std::pair<CamSim*, std::string>{&text, "text"}, {&broadcast, "broadcast"}}) {
        std::vector<double> at;
        for (const auto& e : sim->events("search"))
            if (e["proto"] == proto) at.push_back(e["t"].get<double>());
        ASSERT_EQ(at.size(), 3u) << proto;
        // Requests at 0, 500 and 1000 ms: never early, and none left to the end.
        for (size_t i = 1; i < at.size(); ++i) EXPECT_GT(at[i] - at[i - 1], 0.3) << i;
        EXPECT_LT(at[2] - at[0], 1.45);
    }

    Outcome bad = run({"search", "--probes", "11", "--wait", "100"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(text.events("search").size(), 6u) << "a refused run sends nothing";
}

TEST_F(KeplinLab, SearchWithoutAnAdapterSaysSo) {
    // A namespace of its own inside the lab: no adapter, no route.
    Outcome r = run({"search", "--wait", "100"}, {"unshare", "-n"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no search request could be sent"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(KeplinLab, SearchThroughAnAdapterWithoutAnAddressSaysSo) {
    // An adapter that is up but has no IPv4 address is listed as 0.0.0.0;
    // neither protocol's request finds a way out of it.
    const std::string inner = "ip link set lo up && ip link add kn0 type bridge && ip link set kn0 up && exec \"$0\" \"$@\"";
    for (const char* protocol : {"all", "text", "broadcast"}) {
        Outcome r = run({"search", "--wait", "100", "--protocol", protocol}, {"unshare", "-n", "sh", "-c", inner});
        EXPECT_EQ(r.status, 1) << protocol << ": " << r.err;
        EXPECT_NE(r.err.find("no search request could be sent"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(KeplinLab, TextCameraGetsNetconfThenHttpportForANewPort) {
    CamSim sim(lab, 0, {"--camera", "kind=text,id=" + kId1 + ",mac=00:1A:2B:3C:4D:5E,ip=10.213.0.50,"
                                    "mask=255.255.255.0,gateway=10.213.0.254,fdns=10.213.0.53,sdns=8.8.8.8,"
                                    "dnsstat=3,user=admin,password=secret"});
    Outcome r = run(set_args("00-1a-2b-3c-4d-5e", {"--user", "admin", "--password", "secret", "--ip", "10.213.0.60",
                                               "--dns2", "8.8.4.4", "--http-port", "8080"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "camera: M 10.213.0.50 00:1A:2B:3C:4D:5E \"Camera 1\"\n"
              "netconf: 200 (accepted)\n"
              "httpport: 200 (accepted)\n"
              "the camera restarts with its new settings; search again in about 45 seconds\n");
    auto sent = commands(sim);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(is_client_id(header(sent[0], "Client-ID:")));
    EXPECT_EQ(sent[0], expected_command(sent[0], "admin:secret", kId1,
                                        "netconf set -ipaddr 10.213.0.60 -netmask 255.255.255.0 -gateway "
                                        "10.213.0.254 -dhcp off -fdnsip 10.213.0.53 -sdnsip 8.8.4.4 "
                                        "-dnsstat 0 -hwaddr 00:1A:2B:3C:4D:5E"));
    EXPECT_EQ(sent[1], expected_command(sent[1], "admin:secret", kId1, "httpport set -httpport 8080"));
    auto applied = sim.events("applied");
    ASSERT_FALSE(applied.empty());
    EXPECT_EQ(applied.back()["settings"]["ip"], "10.213.0.60");
    EXPECT_EQ(applied.back()["settings"]["http_port"], 8080);
}

TEST_F(KeplinLab, TextCameraKeepingItsPortGetsOnlyNetconf) {
    CamSim sim(lab, 0, {"--camera", "kind=text,id=" + kId1 + ",mac=00:1A:2B:3C:4D:5E,ip=10.213.0.50,"
                                    "gateway=0.0.0.0,http_port=81"});
    Outcome r = run(set_args("10.213.0.50", {"--user", "admin", "--password", "admin", "--dhcp", "on",
                                         "--http-port", "81", "--format", "json"}));
    ASSERT_EQ(r.status, 0) << r.err;
    auto report = nlohmann::json::parse(r.out);
    EXPECT_EQ(report["result"], "success");
    ASSERT_EQ(report["steps"].size(), 1u);
    EXPECT_EQ(report["steps"][0]["request"], "netconf");
    EXPECT_EQ(report["steps"][0]["outcome"], "200");
    auto sent = commands(sim);
    ASSERT_EQ(sent.size(), 1u);
    // Automatic addressing: nothing validated, the shown addresses sent along.
    EXPECT_EQ(sent[0], expected_command(sent[0], "admin:admin", kId1,
                                        "netconf set -ipaddr 10.213.0.50 -netmask 255.255.255.0 -gateway  "
                                        "-dhcp on -fdnsip 192.168.1.1 -sdnsip 8.8.8.8 -dnsstat 1 "
                                        "-hwaddr 00:1A:2B:3C:4D:5E"));
}

TEST_F(KeplinLab, TextCameraRefusalsSilenceAndMistakes) {
    CamSim sim(lab, 0, {"--camera", "kind=text,id=" + kId1 + ",ip=10.213.0.50",
                        "--camera", "kind=text,id=" + kId2 + ",ip=10.213.0.51,cmd_result=403",
                        "--camera", "kind=text,id=" + kId3 + ",ip=10.213.0.52,reply_delay_ms=500",
                        "--camera", "kind=text,ip=10.213.0.53",
                        "--camera", "kind=text,ip=10.213.0.53"});
    const std::vector<std::string> admin = {"--user", "admin", "--password", "admin"};
    auto with_admin = [&](std::vector<std::string> more) {
        more.insert(more.end(), admin.begin(), admin.end());
        return more;
    };

    Outcome wrong = run(set_args(kId1, {"--user", "admin", "--password", "nope"}));
    EXPECT_EQ(wrong.status, 4) << wrong.err;
    EXPECT_NE(wrong.out.find("netconf: 401 (wrong account or password)\n"), std::string::npos) << wrong.out;

    Outcome forbidden = run(set_args("10.213.0.51", with_admin({})));
    EXPECT_EQ(forbidden.status, 4) << forbidden.err;
    EXPECT_NE(forbidden.out.find("netconf: 403 (refused by the camera)\n"), std::string::npos) << forbidden.out;

    Outcome silent = run(set_args("10.213.0.52", with_admin({"--wait", "200"})));
    EXPECT_EQ(silent.status, 5) << silent.err;
    EXPECT_NE(silent.out.find("netconf: no answer (nothing within 200 ms)\n"), std::string::npos) << silent.out;
    const size_t commands_so_far = commands(sim).size();
    EXPECT_EQ(commands_so_far, 3u);

    // None of these may send anything to a camera.
    Outcome missing = run(set_args("10.213.0.99", with_admin({})));
    EXPECT_EQ(missing.status, 3) << missing.err;
    EXPECT_NE(missing.err.find("no listed camera matches 10.213.0.99"), std::string::npos);
    Outcome twins = run(set_args("10.213.0.53", with_admin({})));
    EXPECT_EQ(twins.status, 2);
    EXPECT_NE(twins.err.find("matches 2 cameras"), std::string::npos) << twins.err;
    Outcome zero = run(set_args("10.213.0.50", with_admin({"--gateway", "0.0.0.0"})));
    EXPECT_EQ(zero.status, 2);
    EXPECT_NE(zero.err.find("the gateway must not be 0.0.0.0"), std::string::npos) << zero.err;
    Outcome own = run(set_args("10.213.0.50", with_admin({"--ip", lab.pcAddresses[0]})));
    EXPECT_EQ(own.status, 2);
    EXPECT_NE(own.err.find("is an address of this PC"), std::string::npos) << own.err;
    Outcome reserved = run(set_args("10.213.0.50", with_admin({"--http-port", "8002"})));
    EXPECT_EQ(reserved.status, 2);
    Outcome bogus = run(set_args("10.213.0.50", with_admin({"--mask", "255.255.255.0 -dhcp on"})));
    EXPECT_EQ(bogus.status, 2);
    Outcome usage = run({"set", "10.213.0.50", "--user", "admin"});  // no password
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(commands(sim).size(), commands_so_far);
}

TEST_F(KeplinLab, BroadcastCameraGetsItsOwnRecordWithTheEdits) {
    CamSim sim(lab, 1, {"--camera", "kind=broadcast,ip=10.213.0.70,gateway=10.213.0.254,name=Gate,user=old,"
                                    "password=oldpw"});
    // The camera's record as it answers a search.
    UdpSocket peer;
    peer.setBroadcast(true);
    peer.sendTo("255.255.255.255", 8600, kSearchRequest);
    auto reply = peer.receive(2s);
    ASSERT_TRUE(reply.has_value());
    ASSERT_EQ(reply->bytes.size(), 324u);

    Outcome r = run(set_args("10.213.0.70", {"--user", "viewer", "--password", "pw2", "--dhcp", "off", "--ip",
                                         "10.213.0.71", "--dns1", "10.213.0.53", "--http-port", "8081"}));
    ASSERT_EQ(r.status, 0) << r.err;
    char id[18];
    const auto* b = reinterpret_cast<const uint8_t*>(reply->bytes.data() + 84);
    std::snprintf(id, sizeof id, "%02X:%02X:%02X:%02X:%02X:%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
    EXPECT_EQ(r.out,
              "camera: L 10.213.0.70 " + std::string(id) + " \"Gate\"\n"
              "set: accepted\n"
              "the camera restarts with its new settings; search again in about 45 seconds\n");

    std::string expected = reply->bytes;
    expected[2] = 0x02;
    expected[3] = 0x01;
    put_text(expected, 4, 16, "10.213.0.71");
    put_text(expected, 68, 16, "10.213.0.53");
    expected[90] = static_cast<char>(8081 & 0xFF);
    expected[91] = static_cast<char>(8081 >> 8);
    put_text(expected, 236, 32, "viewer");
    put_text(expected, 268, 33, "pw2");
    expected[301] = 0;
    auto sets = received(sim, "broadcast", std::string("DH\x02\x01", 4));
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].bytes, expected);
    EXPECT_EQ(text_at(sets[0].bytes, 36, 16), "10.213.0.254");
}

TEST_F(KeplinLab, BroadcastCameraRefusalsAndAutomaticAddressing) {
    CamSim sim(lab, 1, {"--camera", "kind=broadcast,ip=10.213.0.80,set_result=0x8001",
                        "--camera", "kind=broadcast,ip=10.213.0.81,set_result=0x8002,nonfinal_first=1",
                        "--camera", "kind=broadcast,ip=10.213.0.82,mask=255.255.0.0"});
    const std::vector<std::string> admin = {"--user", "admin", "--password", "admin"};

    Outcome first = run(set_args("10.213.0.80", admin));
    EXPECT_EQ(first.status, 4) << first.err;
    EXPECT_NE(first.out.find("set: refused (result code 0x8001)\n"), std::string::npos) << first.out;

    // A result with a code that is not final is skipped for the one after it.
    Outcome second = run(set_args("10.213.0.81", admin));
    EXPECT_EQ(second.status, 4) << second.err;
    EXPECT_NE(second.out.find("set: refused (result code 0x8002)\n"), std::string::npos) << second.out;

    std::vector<std::string> dhcp = admin;
    dhcp.insert(dhcp.end(), {"--dhcp", "on", "--protocol", "broadcast"});
    Outcome automatic = run(set_args("10.213.0.82", dhcp));
    EXPECT_EQ(automatic.status, 0) << automatic.err;
    auto sets = received(sim, "broadcast", std::string("DH\x02\x01", 4));
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(text_at(sets[2].bytes, 4, 16), "0.0.0.0");
    EXPECT_EQ(text_at(sets[2].bytes, 20, 16), "255.255.0.0");
    EXPECT_EQ(static_cast<uint8_t>(sets[2].bytes[301]), 1);
}

TEST_F(KeplinLab, BroadcastCameraThatNeverAnswersTheSetRequest) {
    // A camera of our own on the PC side: it answers searches and ignores set
    // requests. Broadcasts sent by this namespace are delivered here too.
    UdpSocket camera;
    camera.bind("0.0.0.0", 8600);
    camera.setBroadcast(true);
    std::atomic<bool> stop{false};
    std::atomic<int> set_requests{0};
    std::thread responder([&] {
        std::string record(324, '\0');
        record.replace(0, 4, kSearchRequest);
        put_text(record, 4, 16, "10.213.0.90");
        put_text(record, 20, 16, "255.255.255.0");
        put_text(record, 36, 16, "10.213.0.254");
        while (!stop) {
            auto d = camera.receive(100ms);
            if (!d) continue;
            if (d->bytes == kSearchRequest) camera.sendTo(d->fromAddress, d->fromPort, record);
            else if (d->bytes.compare(0, 4, std::string("DH\x02\x01", 4)) == 0) ++set_requests;
        }
    });
    Outcome r = run(set_args("10.213.0.90", {"--user", "admin", "--password", "admin", "--protocol", "broadcast"}));
    stop = true;
    responder.join();
    EXPECT_EQ(r.status, 5) << r.err;
    EXPECT_NE(r.out.find("set: no answer"), std::string::npos) << r.out;
    EXPECT_EQ(set_requests, 1);
}

TEST_F(KeplinLab, OfCamerasSharingAnAddressOnlyTheAddressedOneAnswersASet) {
    const std::string address = "10.213.0.75";
    CamSim sim(lab, 1, {"--camera", "kind=broadcast,ip=" + address + ",mac=02:4B:53:00:07:01,name=First,set_result=0x8001,reply_delay_ms=300",
                        "--camera", "kind=broadcast,ip=" + address + ",mac=02:4B:53:00:07:02,name=Second"});
    // A third camera on the address, on the PC side: it accepts every set
    // request at once, whichever camera it was meant for.
    UdpSocket camera;
    camera.bind("0.0.0.0", 8600);
    camera.setBroadcast(true);
    std::atomic<bool> stop{false};
    std::thread responder([&] {
        std::string record(324, '\0');
        record.replace(0, 4, kSearchRequest);
        put_text(record, 4, 16, address);
        put_text(record, 20, 16, "255.255.255.0");
        put_text(record, 36, 16, "10.213.0.254");
        record.replace(84, 6, std::string("\x02\x4B\x53\x00\x07\x03", 6));
        put_text(record, 124, 80, "Eager");
        while (!stop) {
            auto d = camera.receive(100ms);
            if (!d) continue;
            if (d->bytes == kSearchRequest) {
                camera.sendTo(d->fromAddress, d->fromPort, record);
            } else if (d->bytes.size() == 324 && d->bytes.compare(0, 4, std::string("DH\x02\x01", 4)) == 0) {
                std::string result = d->bytes;
                result.replace(84, 6, record.substr(84, 6));
                result += std::string("\x00\x80\x00\x00", 4);  // 0x8000: accepted
                camera.sendTo(d->fromAddress, d->fromPort, result);
            }
        }
    });
    const std::vector<std::string> admin = {"--user", "admin", "--password", "admin", "--protocol", "broadcast"};
    auto with_admin = [&](std::vector<std::string> more) {
        more.insert(more.end(), admin.begin(), admin.end());
        return more;
    };

    Outcome listed = run({"search", "--format", "json", "--wait", "1500", "--protocol", "broadcast"});
    Outcome ambiguous = run(set_args(address, with_admin({})));
    // The eager camera's acceptance is not the answer of the camera addressed.
    Outcome first = run(set_args("02:4b:53:00:07:01", with_admin({})));
    Outcome second = run(set_args("02-4B-53-00-07-02", with_admin({"--ip", "10.213.0.76"})));
    stop = true;
    responder.join();

    ASSERT_EQ(listed.status, 0) << listed.err;
    std::set<std::string> names;
    const nlohmann::json found = nlohmann::json::parse(listed.out);
    for (auto& d : found.at("devices")) {
        EXPECT_EQ(d.at("ip"), address);
        names.insert(d.at("device_name").get<std::string>());
    }
    EXPECT_EQ(names, (std::set<std::string>{"First", "Second", "Eager"}));
    EXPECT_EQ(ambiguous.status, 2);
    EXPECT_NE(ambiguous.err.find("matches 3 cameras"), std::string::npos) << ambiguous.err;
    EXPECT_EQ(first.status, 4) << first.out << first.err;
    EXPECT_NE(first.out.find("set: refused (result code 0x8001)"), std::string::npos) << first.out;
    EXPECT_EQ(second.status, 0) << second.out << second.err;
    ASSERT_TRUE(waitFor([&] { return !sim.events("applied").empty(); }));
    const auto applied = sim.events("applied");
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0]["camera"], "02:4B:53:00:07:02");
}
