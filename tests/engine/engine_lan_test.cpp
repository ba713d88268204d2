// A PC with two interfaces on two separate LANs (and subnets), its default
// route through the first: the cameras of both protocols behind either
// interface are found, and a set request reaches a camera behind the second.
#include "engine/discovery.h"
#include "tests/lab/lab_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

using keplin::lab::CamSim;
using keplin::lab::Lab;
using keplin::lab::waitFor;
using namespace std::chrono_literals;

namespace {

const std::string kIdNear = "LANZERO0000000000000000000000001";
const std::string kIdFar = "LANONE00000000000000000000000002";

struct Found {
    std::mutex lock;
    std::map<std::string, int> text_calls;  // by MAC
    std::map<std::string, BroadcastRecord> broadcast;  // by IP

    int text(const std::string& mac) {
        std::lock_guard<std::mutex> hold(lock);
        auto it = text_calls.find(mac);
        return it == text_calls.end() ? 0 : it->second;
    }
    bool has_broadcast(const std::string& ip) {
        std::lock_guard<std::mutex> hold(lock);
        return broadcast.count(ip) == 1;
    }
};

int on_device(DiscoveryContext*, const char*, const DeviceRecord* record, void* data) {
    auto* found = static_cast<Found*>(data);
    std::lock_guard<std::mutex> hold(found->lock);
    ++found->text_calls[record->mac];
    return 0;
}

int on_result(DiscoveryContext*, const char*, const void*, void*) { return 0; }

void on_broadcast(const uint8_t* reply, void* data) {
    auto* found = static_cast<Found*>(data);
    const BroadcastRecord record = broadcast_record_from_reply(reply);
    std::lock_guard<std::mutex> hold(found->lock);
    found->broadcast[std::string(record.ip, strnlen(record.ip, sizeof record.ip))] = record;
}

std::string source_of(const keplin::lab::Datagram& datagram) {
    return datagram.from.substr(0, datagram.from.find(':'));
}

class SeparateLans : public ::testing::Test {
protected:
    void SetUp() override {
        lab_ = Lab::require();
        ASSERT_TRUE(lab_.separateLans) << "run with --separate-lans";
        ASSERT_EQ(lab_.pcAddresses.size(), 2U);
        ASSERT_EQ(lab_.camLans, (std::vector<size_t>{0, 1}));
        discovery_clear_local_addresses();
    }

    // Camera namespace `lan` holds one camera of each protocol.
    CamSim cameras(size_t lan, const std::string& id, const std::string& mac_tail) {
        const std::string subnet = lan == 0 ? "10.213.0." : "10.213.1.";
        return CamSim(lab_, lan,
                      {"--camera", "kind=text,id=" + id + ",mac=02:40:00:00:00:" + mac_tail + ",ip=" + subnet + "50",
                       "--camera", "kind=broadcast,mac=02:41:00:00:00:" + mac_tail + ",ip=" + subnet + "60,name=B" +
                                       mac_tail});
    }

    Lab lab_;
};

}  // namespace

TEST_F(SeparateLans, TheFinderFindsBothProtocolsOnBothLansAndSetsBehindTheSecond) {
    CamSim near = cameras(0, kIdNear, "01");
    CamSim far = cameras(1, kIdFar, "02");

    Found found;
    CDeviceFinder finder;
    char entries[2][LOCAL_ADDRESS_ENTRY] = {};
    copy_text_field(entries[0], LOCAL_ADDRESS_ENTRY, lab_.pcAddresses[0].c_str());
    copy_text_field(entries[1], LOCAL_ADDRESS_ENTRY, lab_.pcAddresses[1].c_str());
    ASSERT_EQ(finder.Start(on_device, on_result, &found, entries, 2), 0);
    ASSERT_EQ(finder.SetBroadcastCallback(on_broadcast, &found), 0);
    finder.Search('M');
    EXPECT_EQ(discovery_search_sent(finder.Context()), 2);
    finder.Search('L');

    EXPECT_TRUE(waitFor([&] { return found.text("02:40:00:00:00:01") > 0 && found.text("02:40:00:00:00:02") > 0; },
                        3s));
    EXPECT_TRUE(waitFor([&] { return found.has_broadcast("10.213.0.60") && found.has_broadcast("10.213.1.60"); },
                        3s));

    // Each LAN hears the requests of its own interface only, with that
    // interface's address as source: one search per protocol per camera
    // namespace, so each text camera answers once and is reported once.
    for (CamSim* sim : {&near, &far}) {
        const std::string pc = lab_.pcAddresses[sim == &near ? 0 : 1];
        std::multiset<std::string> text_sources, broadcast_sources;
        for (const auto& datagram : sim->received()) {
            if (datagram.proto == "text") text_sources.insert(source_of(datagram));
            if (datagram.proto == "broadcast") broadcast_sources.insert(source_of(datagram));
        }
        EXPECT_EQ(text_sources, std::multiset<std::string>{pc});
        EXPECT_EQ(broadcast_sources, std::multiset<std::string>{pc});
        ASSERT_EQ(sim->events("search").size(), 2U);
    }
    EXPECT_EQ(found.text("02:40:00:00:00:01"), 1);
    EXPECT_EQ(found.text("02:40:00:00:00:02"), 1);

    // A set request for the camera behind the second interface reaches it and
    // is answered.
    BroadcastRecord record;
    {
        std::lock_guard<std::mutex> hold(found.lock);
        record = found.broadcast.at("10.213.1.60");
    }
    copy_text_field(record.device_name, sizeof record.device_name, "Renamed");
    EXPECT_EQ(finder.SetBroadcastDevice(record), 1);
    const auto sets = far.events("set");
    ASSERT_EQ(sets.size(), 1U);
    EXPECT_EQ(sets[0]["from"].get<std::string>().rfind(lab_.pcAddresses[1] + ":", 0), 0U) << sets[0].dump();
    EXPECT_TRUE(near.events("set").empty());
    finder.Stop();
}

TEST_F(SeparateLans, KeplinListsTheCamerasOfBothLans) {
    CamSim near = cameras(0, kIdNear, "01");
    CamSim far = cameras(1, kIdFar, "02");
    // The kit's own path, no data from elsewhere, goes into the command line.
    const std::string command = "'" + Lab::kitPath("keplin") + "' search --format csv --wait 1500";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, n);
    }
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const char* expected : {"02:40:00:00:00:01", "02:40:00:00:00:02", "10.213.0.60", "10.213.1.60"}) {
        EXPECT_NE(out.find(expected), std::string::npos) << expected << " missing from\n" << out;
    }
    // A header line and one line per camera.
    size_t lines = 0;
    for (char c : out) lines += c == '\n';
    EXPECT_EQ(lines, 5U) << out;
}
