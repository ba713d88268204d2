// When two answers are one camera, and which set result a camera gave.
#include "rules/devices.h"

#include "records.h"

#include <gtest/gtest.h>

#include <thread>

using namespace rules;

namespace {

TEST(DeviceList, AFullListKeepsWhatItHasAndSaysSo) {
    DeviceList list(3);
    for (int n = 1; n <= 3; ++n) EXPECT_TRUE(list.AddText(TextRecord("00:00:00:00:00:0" + std::to_string(n), "10.0.0.1")));
    EXPECT_FALSE(list.Overflowed());
    // A camera already listed is no overflow; a new one is.
    EXPECT_FALSE(list.AddText(TextRecord("00:00:00:00:00:02", "10.0.0.1")));
    EXPECT_FALSE(list.Overflowed());
    EXPECT_FALSE(list.AddBroadcast(Reply(BroadcastRecordOf("10.0.0.9", 1)).data()));
    EXPECT_TRUE(list.Overflowed());
    ASSERT_EQ(list.Count(), 3);
    std::string name, address;
    ASSERT_TRUE(list.Describe(2, &name, &address));
    EXPECT_EQ(address, "10.0.0.1");
    EXPECT_FALSE(list.Describe(3, &name, &address));

    list.Clear();
    EXPECT_FALSE(list.Overflowed());
    EXPECT_TRUE(list.AddText(TextRecord("00:00:00:00:00:09", "10.0.0.1")));
    EXPECT_EQ(DeviceList().Capacity(), 65536u);
}

TEST(DeviceList, TextCamerasAreOnePerMac) {
    DeviceList list;
    EXPECT_TRUE(list.AddText(TextRecord("00:1A:2B:3C:4D:01", "10.0.0.5")));
    EXPECT_FALSE(list.AddText(TextRecord("00:1A:2B:3C:4D:01", "10.0.0.6")));  // whatever else it says
    EXPECT_TRUE(list.AddText(TextRecord("00:1A:2B:3C:4D:02", "10.0.0.5")));
    EXPECT_EQ(list.Count(), 2);
}

TEST(DeviceList, BroadcastCamerasSharingAFactoryAddressAreEachListed) {
    DeviceList list;
    for (uint8_t id = 1; id <= 10; ++id) {
        const auto reply = Reply(BroadcastRecordOf("192.168.1.168", id));
        EXPECT_TRUE(list.AddBroadcast(reply.data())) << int(id);
        // The same camera answering again (through a second adapter) is not.
        EXPECT_FALSE(list.AddBroadcast(reply.data())) << int(id);
    }
    ASSERT_EQ(list.Count(), 10);
    FoundDevice fifth;
    ASSERT_TRUE(list.Get(4, &fifth));
    EXPECT_EQ(fifth.kind, KIND_BROADCAST);
    EXPECT_EQ(fifth.Address(), "192.168.1.168");
    EXPECT_EQ(BroadcastCameraId(fifth.broadcast), "02:4B:53:00:00:05");
    // Each keeps its own record, bytes the protocol does not interpret included.
    const BroadcastRecord own = BroadcastRecordOf("192.168.1.168", 5);
    EXPECT_EQ(std::memcmp(&fifth.broadcast, &own, sizeof own), 0);
}

TEST(DeviceList, ACameraAnsweringByBothProtocolsIsListedOncePerProtocol) {
    DeviceList list;
    EXPECT_TRUE(list.AddText(TextRecord("10.0.0.5", "10.0.0.5")));  // a MAC text equal to an address
    const auto reply = Reply(BroadcastRecordOf("10.0.0.5"));
    EXPECT_TRUE(list.AddBroadcast(reply.data()));
    EXPECT_FALSE(list.AddBroadcast(nullptr));
    ASSERT_EQ(list.Count(), 2);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.AddBroadcast(reply.data()));
}

TEST(DeviceList, UnterminatedFieldsFromTheNetworkStayInsideTheirField) {
    std::array<uint8_t, BROADCAST_REPLY_SIZE> reply;
    reply.fill('A');
    DeviceList list;
    ASSERT_TRUE(list.AddBroadcast(reply.data()));
    FoundDevice device;
    ASSERT_TRUE(list.Get(0, &device));
    EXPECT_EQ(device.Address(), std::string(16, 'A'));
    EXPECT_EQ(device.Name(), std::string(80, 'A'));
    EXPECT_FALSE(list.Get(1, &device));
    EXPECT_FALSE(list.Get(-1, &device));
}

TEST(DeviceList, TwoEngineThreadsAppendWhileTheReaderReads) {
    DeviceList list;
    std::thread text([&] {
        for (int i = 0; i < 500; ++i) {
            DeviceRecord r = TextRecord("00:00:00:00:" + std::to_string(i), "10.1.0.1");
            DeviceList::OnDeviceFound(nullptr, "200", &r, &list);
            DeviceList::OnDeviceFound(nullptr, "200", &r, &list);
        }
    });
    std::thread broadcast([&] {
        for (int i = 0; i < 500; ++i) {
            const auto reply = Reply(BroadcastRecordOf("10.2.0." + std::to_string(i % 250), static_cast<uint8_t>(i / 250)));
            DeviceList::OnBroadcastFound(reply.data(), &list);
        }
    });
    size_t seen = 0;
    while (seen < 1000) {
        const auto snapshot = list.Snapshot();
        ASSERT_GE(snapshot.size(), seen);
        for (const auto& d : snapshot) ASSERT_TRUE(d.kind == KIND_TEXT || d.kind == KIND_BROADCAST);
        seen = snapshot.size();
    }
    text.join();
    broadcast.join();
    EXPECT_EQ(list.Count(), 1000);
}

TEST(SetResult, OnlyTheAddressedCameraAnswersWhenSeveralShareTheAddress) {
    const BroadcastRecord request = BroadcastRecordOf("192.168.1.168", 3);
    uint8_t result[BROADCAST_RESULT_SIZE] = {};
    BroadcastRecord other = BroadcastRecordOf("192.168.1.168", 4);
    std::memcpy(result, &other, sizeof other);
    EXPECT_FALSE(ResultFromCamera(request, result, sizeof result));
    std::memcpy(result, &request, sizeof request);
    EXPECT_TRUE(ResultFromCamera(request, result, sizeof result));
    EXPECT_FALSE(ResultFromCamera(request, result, 89));  // too short to carry the bytes
    EXPECT_FALSE(ResultFromCamera(request, nullptr, sizeof result));

    DeviceList listed;
    listed.AddBroadcast(Reply(BroadcastRecordOf("192.168.1.168", 1)).data());
    listed.AddBroadcast(Reply(BroadcastRecordOf("192.168.1.168", 2)).data());
    listed.AddBroadcast(Reply(BroadcastRecordOf("192.168.1.20", 3)).data());
    listed.AddText(TextRecord("00:00:00:00:00:09", "192.168.1.20"));
    EXPECT_TRUE(listed.SharesAddress(0));
    EXPECT_TRUE(listed.SharesAddress(1));
    EXPECT_FALSE(listed.SharesAddress(2));  // a text camera on the address does not answer set requests
    EXPECT_FALSE(listed.SharesAddress(3));
    EXPECT_FALSE(listed.SharesAddress(4));
    // The address it has now counts, not the one it was listed with.
    listed.Update(2, [](FoundDevice& d) { rules::CopyField(d.broadcast.ip, "192.168.1.168"); });
    EXPECT_TRUE(listed.SharesAddress(0));
    EXPECT_TRUE(listed.SharesAddress(2));
}

}  // namespace
