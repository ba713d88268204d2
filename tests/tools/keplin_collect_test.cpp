// Collecting what the engine's threads hand over: the dialog's rule of one
// entry per camera, arrival order, and command results across threads.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "tools/keplin/devices.h"
#include "tools/keplin/session.h"

using namespace keplin::cli;
using namespace std::chrono_literals;

namespace {

DeviceRecord text_record(const char* mac, const char* ip) {
    DeviceRecord r{};
    copy_text_field(r.mac, sizeof r.mac, mac);
    copy_text_field(r.ip, sizeof r.ip, ip);
    return r;
}

std::vector<uint8_t> broadcast_reply(const char* ip, const char* name = "cam") {
    std::vector<uint8_t> reply(BROADCAST_REPLY_SIZE, 0);
    BroadcastRecord r{};
    copy_text_field(r.ip, sizeof r.ip, ip);
    copy_text_field(r.device_name, sizeof r.device_name, name);
    std::memcpy(reply.data(), &r, sizeof r);
    return reply;
}

}  // namespace

TEST(KeplinCollector, OneEntryPerMacOrBroadcastAddressInArrivalOrder) {
    DeviceCollector c;
    EXPECT_TRUE(c.AddText(text_record("00:00:00:00:00:01", "10.0.0.5")));
    EXPECT_TRUE(c.AddBroadcast(broadcast_reply("10.0.0.5", "first").data()));  // other kind, other key
    EXPECT_FALSE(c.AddText(text_record("00:00:00:00:00:01", "10.0.0.99")));   // same MAC, new address
    EXPECT_FALSE(c.AddBroadcast(broadcast_reply("10.0.0.5", "second").data()));
    EXPECT_TRUE(c.AddText(text_record("00:00:00:00:00:02", "10.0.0.5")));
    std::vector<FoundDevice> list = c.Snapshot();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].kind, 'M');
    EXPECT_STREQ(list[0].text.ip, "10.0.0.5");
    EXPECT_EQ(list[1].kind, 'L');
    EXPECT_STREQ(list[1].broadcast.device_name, "first");
    EXPECT_STREQ(list[2].text.mac, "00:00:00:00:00:02");
}

TEST(KeplinCollector, UnterminatedBroadcastAddressIsKeyedWithinItsField) {
    std::vector<uint8_t> reply = broadcast_reply("");
    std::memset(reply.data() + 4, '7', 16);  // the IP field without a NUL, the mask field follows
    std::memcpy(reply.data() + 20, "255.0.0.0", 9);
    DeviceCollector c;
    ASSERT_TRUE(c.AddBroadcast(reply.data()));
    EXPECT_EQ(c.Snapshot()[0].key(), std::string(16, '7'));
}

TEST(KeplinCollector, TwoEngineThreadsAddingAtOnce) {
    DeviceCollector c;
    auto text_thread = std::thread([&] {
        for (int i = 0; i < 500; ++i) {
            DeviceRecord r = text_record(("m" + std::to_string(i % 250)).c_str(), "1.1.1.1");
            DeviceCollector::OnDeviceFound(nullptr, "200", &r, &c);
        }
    });
    auto broadcast_thread = std::thread([&] {
        for (int i = 0; i < 500; ++i)
            DeviceCollector::OnBroadcastFound(broadcast_reply(("10.0." + std::to_string(i % 100)).c_str()).data(), &c);
    });
    text_thread.join();
    broadcast_thread.join();
    EXPECT_EQ(c.Snapshot().size(), 350u);
}

TEST(KeplinLocalAddresses, SplitLikeTheDialogWithinTheEnginesLimit) {
    EXPECT_EQ(split_local_addresses("10.0.0.1,0.0.0.0,192.168.1.2", 3),
              (std::vector<std::string>{"10.0.0.1", "0.0.0.0", "192.168.1.2"}));
    EXPECT_EQ(split_local_addresses("10.0.0.1,10.0.0.2", 1), std::vector<std::string>{"10.0.0.1"});
    EXPECT_TRUE(split_local_addresses("", 0).empty());
    std::string many;
    for (int i = 0; i < 25; ++i) many += (i ? "," : "") + std::string("10.0.0.") + std::to_string(i);
    EXPECT_EQ(split_local_addresses(many, 25).size(), static_cast<size_t>(MAX_LOCAL_ADDRESSES));
}

TEST(KeplinResults, StatusHandedOverFromTheDispatchThread) {
    ResultQueue q;
    EXPECT_FALSE(q.Wait(20ms).has_value());
    std::thread dispatch([&] {
        std::this_thread::sleep_for(30ms);
        ResultQueue::OnResult(nullptr, "401", nullptr, &q);
    });
    std::optional<std::string> status = q.Wait(5s);
    dispatch.join();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, "401");
    q.Push("200");
    q.Clear();  // a stale result does not answer the next command
    EXPECT_FALSE(q.Wait(10ms).has_value());
}
