// When two answers are one camera, and which set result a camera gave.
#include "rules/devices.h"

#include "records.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
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

constexpr std::size_t kGatewayEnd = offsetof(DeviceRecord, gateway) + sizeof DeviceRecord::gateway;

// The bytes of two text records, the padding before the numbers aside.
bool SameText(const DeviceRecord& a, const DeviceRecord& b) {
    const auto* x = reinterpret_cast<const char*>(&a);
    const auto* y = reinterpret_cast<const char*>(&b);
    const std::size_t numbers = offsetof(DeviceRecord, dhcp);
    return std::memcmp(x, y, kGatewayEnd) == 0 && std::memcmp(x + numbers, y + numbers, sizeof a - numbers) == 0;
}

// Records as long as the protocols allow: every text field full, no zero byte
// in the numbers (and, for the broadcast record, none at all).
DeviceRecord LargestText(unsigned n) {
    DeviceRecord r{};
    auto* bytes = reinterpret_cast<char*>(&r);
    for (std::size_t i = 0; i < sizeof r; ++i) bytes[i] = static_cast<char>('A' + (i + n) % 26);
    for (std::size_t end : {offsetof(DeviceRecord, device_model), offsetof(DeviceRecord, software_version),
                            offsetof(DeviceRecord, web_version), offsetof(DeviceRecord, device_name),
                            offsetof(DeviceRecord, http_port), offsetof(DeviceRecord, ip), offsetof(DeviceRecord, mask),
                            offsetof(DeviceRecord, mac), offsetof(DeviceRecord, gateway), kGatewayEnd,
                            offsetof(DeviceRecord, ddns_enable), offsetof(DeviceRecord, ddns_host),
                            offsetof(DeviceRecord, ddns_port), offsetof(DeviceRecord, ddns_user),
                            offsetof(DeviceRecord, ddns_passwd), offsetof(DeviceRecord, ddns_domain),
                            offsetof(DeviceRecord, c_vendor), offsetof(DeviceRecord, c_product),
                            offsetof(DeviceRecord, device_type), sizeof r})
        bytes[end - 1] = '\0';
    r.fdns[15] = r.sdns[15] = '\0';
    std::snprintf(r.mac, sizeof r.mac, "02:00:00:%02X:%02X:%02X", n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF);
    r.dhcp = r.dns_state = r.ddns_enable = r.ddns_port = static_cast<int32_t>(0x01020304 + n);
    return r;
}

std::array<uint8_t, BROADCAST_REPLY_SIZE> LargestBroadcast(unsigned n) {
    BroadcastRecord r = BroadcastRecordOf("", 1);
    std::snprintf(r.ip, sizeof r.ip, "10.%u.%u.%u", n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF);
    for (char& c : r.ip) c = c ? c : 'x';  // no terminator either
    return Reply(r);
}

bool SameBytes(const void* a, const void* b, std::size_t size) { return std::memcmp(a, b, size) == 0; }

TEST(DeviceList, EveryByteOfARecordComesBackAsItCame) {
    DeviceList list;
    const DeviceRecord largest = LargestText(7);
    // Zero runs longer than one count byte, at the end, and single zeros.
    DeviceRecord sparse{};
    rules::CopyField(sparse.mac, "00:00:00:00:00:01");
    sparse.dhcp = 0x00010000;
    sparse.device_type[31] = 'z';
    BroadcastRecord broadcast = BroadcastRecordOf("10.9.9.9", 9);
    std::memset(broadcast.reserved3, 0, sizeof broadcast.reserved3);
    broadcast.reserved4[21] = 0;
    const auto reply = Reply(broadcast);
    ASSERT_TRUE(list.AddText(largest));
    ASSERT_TRUE(list.AddText(sparse));
    ASSERT_TRUE(list.AddBroadcast(reply.data()));
    ASSERT_TRUE(list.AddBroadcast(LargestBroadcast(3).data()));

    FoundDevice found;
    ASSERT_TRUE(list.Get(0, &found));
    EXPECT_EQ(found.kind, KIND_TEXT);
    EXPECT_TRUE(SameText(found.text, largest));
    ASSERT_TRUE(list.Get(1, &found));
    EXPECT_TRUE(SameText(found.text, sparse));
    ASSERT_TRUE(list.Get(2, &found));
    EXPECT_EQ(found.kind, KIND_BROADCAST);
    EXPECT_TRUE(SameBytes(&found.broadcast, &broadcast, sizeof broadcast));
    ASSERT_TRUE(list.Get(3, &found));
    EXPECT_TRUE(SameBytes(&found.broadcast, LargestBroadcast(3).data(), sizeof found.broadcast));
    EXPECT_EQ(found.Address(), "10.0.0.3xxxxxxxx");
}

TEST(DeviceList, AnUpdatedEntryKeepsItsPlaceAndTheKeyItWasListedUnder) {
    DeviceList list;
    ASSERT_TRUE(list.AddBroadcast(Reply(BroadcastRecordOf("10.0.0.1", 1)).data()));
    ASSERT_TRUE(list.AddText(TextRecord("00:00:00:00:00:01", "10.0.0.2")));
    ASSERT_TRUE(list.Update(0, [](FoundDevice& d) { rules::CopyField(d.broadcast.device_name, std::string(79, 'N')); }));
    ASSERT_TRUE(list.Update(1, [](FoundDevice& d) { rules::CopyField(d.text.ip, "10.0.0.99"); }));
    std::string name, address;
    ASSERT_TRUE(list.Describe(0, &name, &address));
    EXPECT_EQ(name, std::string(79, 'N'));
    ASSERT_TRUE(list.Describe(1, &name, &address));
    EXPECT_EQ(address, "10.0.0.99");
    EXPECT_FALSE(list.AddBroadcast(Reply(BroadcastRecordOf("10.0.0.1", 1)).data()));
    EXPECT_FALSE(list.AddText(TextRecord("00:00:00:00:00:01", "10.0.0.2")));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_FALSE(list.Update(2, [](FoundDevice&) { FAIL(); }));
}

TEST(DeviceList, TheCapacityHoldsExactlyThatManyOfTheLargestEntries) {
    DeviceList list;
    const unsigned capacity = static_cast<unsigned>(kDeviceListCapacity);
    for (unsigned n = 0; n < capacity; ++n) {
        const bool added = n % 2 ? list.AddBroadcast(LargestBroadcast(n).data()) : list.AddText(LargestText(n));
        ASSERT_TRUE(added) << n;
    }
    EXPECT_FALSE(list.Overflowed());
    EXPECT_FALSE(list.AddText(LargestText(0)));  // listed already: no overflow
    EXPECT_FALSE(list.Overflowed());
    EXPECT_FALSE(list.AddText(LargestText(capacity)));
    EXPECT_FALSE(list.AddBroadcast(LargestBroadcast(capacity + 1).data()));
    EXPECT_TRUE(list.Overflowed());
    ASSERT_EQ(list.Count(), static_cast<int>(capacity));

    FoundDevice found;
    for (unsigned n : {0u, 1u, capacity - 2, capacity - 1}) {
        ASSERT_TRUE(list.Get(static_cast<int>(n), &found));
        if (n % 2) {
            EXPECT_TRUE(SameBytes(&found.broadcast, LargestBroadcast(n).data(), sizeof found.broadcast)) << n;
        } else {
            const DeviceRecord expected = LargestText(n);
            EXPECT_TRUE(SameText(found.text, expected)) << n;
        }
    }
    EXPECT_FALSE(list.Get(static_cast<int>(capacity), &found));
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
