// The text protocol end to end inside the lab: a PC with two interfaces and
// two camera namespaces running the camera simulator.
#include "engine/discovery.h"
#include "tests/lab/lab_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>
#include <thread>
#include <map>
#include <set>
#include <mutex>

using keplin::lab::CamSim;
using keplin::lab::Lab;
using keplin::lab::waitFor;
using namespace std::chrono_literals;

namespace {

const std::string kIdA = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAA01";
const std::string kIdB = "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBB02";
const std::string kIdC = "CCCCCCCCCCCCCCCCCCCCCCCCCCCCCC03";

// Each simulator holds a marker camera after its real ones. The simulator
// sends the answers to one request in camera order, and those to later
// requests after them, so once a marker's answer is in, every answer its
// simulator sent before it is in too.
const std::string kMarkerA = "02:00:00:00:00:FA";
const std::string kMarkerC = "02:00:00:00:00:FC";
bool is_marker(const std::string& mac) { return mac == kMarkerA || mac == kMarkerC; }

struct Seen {
    std::mutex lock;
    std::vector<DeviceRecord> devices;
    std::vector<std::string> results;

    // Calls per camera, markers left out.
    std::map<std::string, int> calls_by_mac() {
        std::lock_guard<std::mutex> hold(lock);
        std::map<std::string, int> calls;
        for (const DeviceRecord& r : devices) {
            if (!is_marker(r.mac)) {
                ++calls[r.mac];
            }
        }
        return calls;
    }
    int marker_calls() {
        std::lock_guard<std::mutex> hold(lock);
        int calls = 0;
        for (const DeviceRecord& r : devices) {
            calls += is_marker(r.mac);
        }
        return calls;
    }
    size_t result_count() {
        std::lock_guard<std::mutex> hold(lock);
        return results.size();
    }
    void clear() {
        std::lock_guard<std::mutex> hold(lock);
        devices.clear();
        results.clear();
    }
};

int on_device(DiscoveryContext*, const char*, const DeviceRecord* record, void* data) {
    auto* seen = static_cast<Seen*>(data);
    std::lock_guard<std::mutex> hold(seen->lock);
    seen->devices.push_back(*record);
    return 0;
}

int on_result(DiscoveryContext*, const char* status, const void*, void* data) {
    auto* seen = static_cast<Seen*>(data);
    std::lock_guard<std::mutex> hold(seen->lock);
    seen->results.emplace_back(status);
    return 0;
}

class LabSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lab_ = new Lab(Lab::require());
        ASSERT_EQ(lab_->pcAddresses.size(), 2U) << "the lab needs a PC with two interfaces";
        ASSERT_GE(lab_->camNamespaces.size(), 2U);
        camera_a_ = new CamSim(*lab_, 0,
                               {"--camera", "kind=text,id=" + kIdA + ",mac=02:00:00:00:00:0A,ip=10.213.0.11,name=Porch,"
                                            "user=admin,password=secret",
                                "--camera", "kind=text,id=" + kIdB + ",mac=02:00:00:00:00:0B,ip=10.213.0.12,"
                                            "user=admin,password=secret,cmd_result=403",
                                "--camera", "kind=text,id=MARKERAMARKERAMARKERAMARKERAMARK,mac=" + kMarkerA});
        camera_c_ = new CamSim(*lab_, 1,
                               {"--camera", "kind=text,id=" + kIdC + ",mac=02:00:00:00:00:0C,ip=10.213.0.13,"
                                            "user=admin,password=secret",
                                "--camera", "kind=text,id=MARKERCMARKERCMARKERCMARKERCMARK,mac=" + kMarkerC});
    }
    static void TearDownTestSuite() {
        delete camera_a_;
        delete camera_c_;
        delete lab_;
    }
    void SetUp() override {
        discovery_clear_local_addresses();
        ASSERT_EQ(discovery_open(DISCOVERY_GROUP, DISCOVERY_PORT, DISCOVERY_SEND_TIMEOUT_S, &context_), DISC_OK);
        discovery_set_device_handler(context_, on_device, &seen_);
        discovery_set_result_handler(context_, on_result, &seen_);
    }
    void TearDown() override {
        if (context_ != nullptr) {
            discovery_close(context_);
        }
    }

    static void use_pc_addresses() {
        char entries[2][LOCAL_ADDRESS_ENTRY] = {};
        for (size_t i = 0; i < 2; ++i) {
            copy_text_field(entries[i], LOCAL_ADDRESS_ENTRY, lab_->pcAddresses[i].c_str());
        }
        ASSERT_EQ(discovery_set_local_addresses(entries, 2), DISC_OK);
    }
    static size_t searches_received(CamSim& camera) { return camera.events("search").size(); }

    // Searches from both PC addresses and waits until both markers have
    // answered both (each answer is heard on both interfaces): then every
    // answer to anything sent before has been handled.
    void search_and_wait_for_markers() {
        const int before = seen_.marker_calls();
        ASSERT_EQ(discovery_search(context_), DISC_OK);
        ASSERT_TRUE(waitFor([&] { return seen_.marker_calls() == before + 8; }, 3s));
    }

    int command(const std::string& id, const char* password, int32_t kind, const void* params) {
        const CommandAuth auth{id.c_str(), "admin", password};
        return discovery_command(context_, &auth, kind, params);
    }
    DeviceRecord find(const std::string& id) {
        std::lock_guard<std::mutex> hold(seen_.lock);
        for (const DeviceRecord& r : seen_.devices) {
            if (id == r.device_id) {
                return r;
            }
        }
        ADD_FAILURE() << "camera " << id << " not found";
        return DeviceRecord{};
    }

    static Lab* lab_;
    static CamSim* camera_a_;
    static CamSim* camera_c_;
    DiscoveryContext* context_ = nullptr;
    Seen seen_;
};

Lab* LabSearch::lab_ = nullptr;
CamSim* LabSearch::camera_a_ = nullptr;
CamSim* LabSearch::camera_c_ = nullptr;

}  // namespace

TEST_F(LabSearch, WithoutLocalAddressesNothingIsSent) {
    const size_t before = searches_received(*camera_a_);
    EXPECT_EQ(discovery_search(context_), DISC_E_NOT_READY);
    // The next search, once addresses are known, is all the camera gets.
    use_pc_addresses();
    search_and_wait_for_markers();
    EXPECT_EQ(searches_received(*camera_a_), before + 2);
}

TEST_F(LabSearch, FindsEveryCameraOncePerPcInterface) {
    const size_t earlier = camera_c_->received().size();  // other tests' datagrams
    use_pc_addresses();
    // Each camera gets the search from both PC addresses and answers both;
    // the PC is a member of the group on both interfaces, which share one
    // LAN here, so it hears each answer on both.
    search_and_wait_for_markers();
    const auto calls = seen_.calls_by_mac();
    EXPECT_EQ(calls.at("02:00:00:00:00:0A"), 4);
    EXPECT_EQ(calls.at("02:00:00:00:00:0B"), 4);
    EXPECT_EQ(calls.at("02:00:00:00:00:0C"), 4);
    const DeviceRecord porch = find(kIdA);
    EXPECT_STREQ(porch.device_name, "Porch");
    EXPECT_STREQ(porch.ip, "10.213.0.11");

    // The request each camera got is byte-exact and came from each PC address.
    std::vector<std::string> sources;
    const auto datagrams = camera_c_->received();
    for (size_t i = earlier; i < datagrams.size(); ++i) {
        const auto& datagram = datagrams[i];
        if (datagram.bytes.rfind("SEARCH", 0) == 0) {
            sources.push_back(datagram.from.substr(0, datagram.from.find(':')));
            EXPECT_EQ(datagram.bytes, "SEARCH * HDS/1.0\r\nCSeq:1\r\nClient-ID:" +
                                          std::string(discovery_client_id(context_)) +
                                          "\r\nAccept-Type:text/HDP\r\nContent-Length:0\r\n\r\n");
        }
    }
    std::sort(sources.begin(), sources.end());
    EXPECT_EQ(sources, lab_->pcAddresses);
}

TEST_F(LabSearch, AnotherContextsRepliesNeverArrive) {
    use_pc_addresses();
    DiscoveryContext* other = nullptr;
    Seen other_seen;
    ASSERT_EQ(discovery_open(DISCOVERY_GROUP, DISCOVERY_PORT, DISCOVERY_SEND_TIMEOUT_S, &other), DISC_OK);
    discovery_set_device_handler(other, on_device, &other_seen);
    ASSERT_NE(std::string(discovery_client_id(other)), discovery_client_id(context_));
    search_and_wait_for_markers();
    EXPECT_EQ(seen_.calls_by_mac().size(), 3U);
    // The other context reads the same datagrams from its own socket; its
    // own search's markers follow them there.
    ASSERT_EQ(discovery_search(other), DISC_OK);
    ASSERT_TRUE(waitFor([&] { return other_seen.marker_calls() == 8; }, 3s));
    EXPECT_EQ(other_seen.calls_by_mac().size(), 3U);
    for (const auto& [mac, calls] : other_seen.calls_by_mac()) {
        EXPECT_EQ(calls, 4) << mac;  // its own search's answers only
    }
    discovery_close(other);
}

TEST_F(LabSearch, CommandsReturnTheCamerasAnswerOnce) {
    use_pc_addresses();
    ASSERT_EQ(discovery_search(context_), DISC_OK);  // makes the send sockets
    ASSERT_TRUE(waitFor([&] { return seen_.calls_by_mac().size() == 3; }, 3s));

    // Sent from both interfaces, answered twice: one handler call each.
    ASSERT_EQ(command(kIdA, "wrong", CMD_HTTPPORT, "81"), DISC_OK);
    ASSERT_TRUE(waitFor([&] { return seen_.result_count() == 1; }, 3s));
    ASSERT_EQ(command(kIdB, "secret", CMD_HTTPPORT, "81"), DISC_OK);
    ASSERT_TRUE(waitFor([&] { return seen_.result_count() == 2; }, 3s));
    DeviceRecord moved = find(kIdC);
    copy_text_field(moved.ip, sizeof moved.ip, "10.213.0.99");
    ASSERT_EQ(command(kIdC, "secret", CMD_NETCONF, &moved), DISC_OK);
    ASSERT_TRUE(waitFor([&] { return seen_.result_count() == 3; }, 3s));
    // A repeated answer would come before the answers to a later search.
    search_and_wait_for_markers();
    {
        std::lock_guard<std::mutex> hold(seen_.lock);
        EXPECT_EQ(seen_.results, (std::vector<std::string>{"401", "403", "200"}));
    }

    // The camera got the netconf command byte for byte, credentials in plain text.
    const auto commands = camera_c_->events("command");
    ASSERT_FALSE(commands.empty());
    std::string received;
    for (const auto& datagram : camera_c_->received()) {
        if (datagram.bytes.rfind("CMD", 0) == 0) {
            received = datagram.bytes;
        }
    }
    const std::string body =
        "netconf set -ipaddr 10.213.0.99 -netmask " + std::string(moved.mask) + " -gateway " + moved.gateway +
        " -dhcp " + (moved.dhcp == 1 ? "on" : "off") + " -fdnsip " + moved.fdns + " -sdnsip " + moved.sdns +
        " -dnsstat " + std::to_string(moved.dns_state) + " -hwaddr 02:00:00:00:00:0C";
    EXPECT_NE(received.find("Authorization:Basic admin:secret\r\nDevice-ID:" + kIdC + "\r\nContent-Length:" +
                            std::to_string(body.size()) + "\r\n\r\n" + body + "\r\n\r\n"),
              std::string::npos)
        << received;

    // A later search shows the camera at its new address.
    seen_.clear();
    ASSERT_EQ(discovery_search(context_), DISC_OK);
    ASSERT_TRUE(waitFor([&] { return seen_.calls_by_mac().count("02:00:00:00:00:0C") == 1; }, 3s));
    EXPECT_STREQ(find(kIdC).ip, "10.213.0.99");
}

TEST_F(LabSearch, TheFinderSearchesBothProtocols) {
    CamSim broadcast(*lab_, 1, {"--text-port", "18002", "--camera",
                                "kind=broadcast,mac=02:00:00:00:01:01,ip=10.213.0.50,name=Yard"});
    struct Both {
        Seen text;
        std::mutex lock;
        std::vector<BroadcastRecord> records;
    } both;
    CDeviceFinder finder;
    char entries[2][LOCAL_ADDRESS_ENTRY] = {};
    copy_text_field(entries[0], LOCAL_ADDRESS_ENTRY, lab_->pcAddresses[0].c_str());
    copy_text_field(entries[1], LOCAL_ADDRESS_ENTRY, lab_->pcAddresses[1].c_str());
    discovery_close(context_);  // the finder opens its own on the same port
    context_ = nullptr;
    ASSERT_EQ(finder.Start(on_device, on_result, &both.text, entries, 2), 0);
    ASSERT_EQ(finder.SetBroadcastCallback(
                  [](const uint8_t* reply, void* data) {
                      auto* b = static_cast<Both*>(data);
                      std::lock_guard<std::mutex> hold(b->lock);
                      b->records.push_back(broadcast_record_from_reply(reply));
                  },
                  &both),
              0);
    finder.Search('M');
    finder.Search('L');
    ASSERT_TRUE(waitFor([&] { return both.text.calls_by_mac().size() == 3; }, 3s));
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard<std::mutex> hold(both.lock);
        return !both.records.empty();
    }, 3s));
    // The broadcast request, and a set request, leave through each adapter
    // with that adapter's address as source.
    BroadcastRecord yard;
    {
        std::lock_guard<std::mutex> hold(both.lock);
        yard = both.records[0];
    }
    finder.SetBroadcastDevice(yard);
    // The first copy's answer may end the wait before the simulator has
    // logged the second copy.
    std::set<std::string> search_sources, set_sources;
    const std::set<std::string> pc(lab_->pcAddresses.begin(), lab_->pcAddresses.end());
    waitFor([&] {
        search_sources.clear();
        set_sources.clear();
        for (const auto& datagram : broadcast.received()) {
            const std::string source = datagram.from.substr(0, datagram.from.find(':'));
            if (datagram.bytes == std::string("DH\x01\x01", 4)) search_sources.insert(source);
            if (datagram.bytes.size() == BROADCAST_RECORD_SIZE && datagram.bytes[2] == 0x02) set_sources.insert(source);
        }
        return search_sources == pc && set_sources == pc;
    }, 3s);
    EXPECT_EQ(search_sources, pc);
    EXPECT_EQ(set_sources, pc);
    finder.Stop();
    std::lock_guard<std::mutex> hold(both.lock);
    EXPECT_STREQ(both.records[0].ip, "10.213.0.50");
    EXPECT_STREQ(both.records[0].device_name, "Yard");
}

TEST_F(LabSearch, TheFinderFallsBackToThe12109PortAndSearchesThere) {
    discovery_close(context_);
    context_ = nullptr;
    // Something else holds the discovery port without address reuse.
    const int holder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(DISCOVERY_PORT);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);

    Seen seen;
    CDeviceFinder finder;
    char entries[1][LOCAL_ADDRESS_ENTRY] = {};
    copy_text_field(entries[0], LOCAL_ADDRESS_ENTRY, lab_->pcAddresses[0].c_str());
    ASSERT_EQ(finder.Start(on_device, on_result, &seen, entries, 1), 0);
    const size_t before = camera_c_->events("search").size();
    finder.Search('M');
    ASSERT_TRUE(waitFor([&] { return seen.calls_by_mac().size() == 3; }, 3s));
    const auto searches = camera_c_->events("search");
    ASSERT_GT(searches.size(), before);
    EXPECT_EQ(searches.back()["port"], DISCOVERY_FALLBACK_PORT);
    finder.Stop();
    close(holder);
}
