// The broadcast probe against a fake camera on the loopback of an empty
// network namespace.
#include "engine/discovery.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <vector>

using keplin::test::eventually;
using keplin::test::FakePeer;

namespace {

struct Replies {
    std::mutex lock;
    std::vector<std::vector<uint8_t>> received;
    size_t count() {
        std::lock_guard<std::mutex> hold(lock);
        return received.size();
    }
};

void collect(const uint8_t* reply, void* data) {
    auto* replies = static_cast<Replies*>(data);
    std::lock_guard<std::mutex> hold(replies->lock);
    replies->received.emplace_back(reply, reply + BROADCAST_REPLY_SIZE);
}

std::string camera_record(const char* ip, uint16_t port) {
    BroadcastRecord record{};
    copy_text_field(record.ip, sizeof record.ip, ip);
    copy_text_field(record.device_name, sizeof record.device_name, "Garden");
    set_broadcast_http_port(record, port);
    record.reserved2[0] = 0xAB;  // bytes the PC must carry unchanged
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

std::string set_result(uint32_t code, size_t length = BROADCAST_RESULT_SIZE) {
    std::string bytes(length, '\0');
    if (length >= BROADCAST_RESULT_SIZE) {
        for (int i = 0; i < 4; ++i) {
            bytes[BROADCAST_RECORD_SIZE + i] = static_cast<char>((code >> (8 * i)) & 0xFF);
        }
    }
    return bytes;
}

class Probe : public ::testing::Test {
protected:
    void SetUp() override {
        if (!keplin::test::in_empty_namespace()) {
            GTEST_SKIP() << "needs an empty network namespace (run it through ctest)";
        }
        probe_.SetDestination(keplin::test::loopback(camera_.port()));
    }
    FakePeer camera_;
    CBroadcastProbe probe_;
    Replies replies_;
};

}  // namespace

TEST(BroadcastRecordLayout, FieldOffsets) {
    EXPECT_EQ(offsetof(BroadcastRecord, ip), 4U);
    EXPECT_EQ(offsetof(BroadcastRecord, dns), 68U);
    EXPECT_EQ(offsetof(BroadcastRecord, http_port), 90U);
    EXPECT_EQ(offsetof(BroadcastRecord, device_name), 124U);
    EXPECT_EQ(offsetof(BroadcastRecord, user), 236U);
    EXPECT_EQ(offsetof(BroadcastRecord, password), 268U);
    EXPECT_EQ(offsetof(BroadcastRecord, address_mode), 301U);
    BroadcastRecord record{};
    set_broadcast_http_port(record, 0x1F90);
    EXPECT_EQ(record.http_port[0], 0x90);
    EXPECT_EQ(record.http_port[1], 0x1F);
    EXPECT_EQ(broadcast_http_port(record), 0x1F90);
    copy_text_field(record.user, sizeof record.user, std::string(50, 'u').c_str());
    EXPECT_EQ(strlen(record.user), sizeof record.user - 1);  // cut, still terminated
    EXPECT_EQ(record.password[0], 0);
}

TEST_F(Probe, SearchNeedsACallback) {
    EXPECT_EQ(probe_.Search(), 0);
    probe_.SetCallback(nullptr, &replies_);  // a missing callback is not stored
    EXPECT_EQ(probe_.Search(), 0);
    EXPECT_FALSE(probe_.IsReceiving());
}

TEST_F(Probe, ShortRepliesReachTheCallbackZeroFilled) {
    probe_.SetCallback(collect, &replies_);
    ASSERT_EQ(probe_.Search(), 1);
    EXPECT_EQ(camera_.receive(), std::string("\x44\x48\x01\x01", 4));
    camera_.reply(std::string(100, '\x11'));
    camera_.reply("");
    camera_.reply(std::string(65000, '\x22'));
    ASSERT_TRUE(eventually([&] { return replies_.count() == 3; }));
    std::lock_guard<std::mutex> hold(replies_.lock);
    const auto& first = replies_.received[0];
    EXPECT_EQ(first[99], 0x11);
    EXPECT_EQ(first[100], 0);
    EXPECT_EQ(first[BROADCAST_REPLY_SIZE - 1], 0);
    EXPECT_EQ(replies_.received[1][0], 0);
    EXPECT_EQ(replies_.received[2][BROADCAST_REPLY_SIZE - 1], 0x22);
}

TEST_F(Probe, ASecondSearchKeepsOneThreadAndReadsTheNewSocket) {
    probe_.SetCallback(collect, &replies_);
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    const int threads = keplin::test::running_threads();
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    camera_.reply(camera_record("10.0.0.9", 80));  // to the second search's socket
    ASSERT_TRUE(eventually([&] { return replies_.count() == 1; }));
    EXPECT_EQ(keplin::test::running_threads(), threads);
}

TEST_F(Probe, NoCallbackAfterStopAndSearchAgainAfterwards) {
    probe_.SetCallback(collect, &replies_);
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        while (flooding) {
            camera_.reply(camera_record("10.0.0.7", 80));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    ASSERT_TRUE(eventually([&] { return replies_.count() > 5; }));
    probe_.StopReceiving();
    const size_t seen = replies_.count();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(replies_.count(), seen);
    flooding = false;
    flood.join();
    EXPECT_FALSE(probe_.IsReceiving());

    ASSERT_EQ(probe_.Search(), 1);  // the probe stays usable
    camera_.receive();
    camera_.reply(camera_record("10.0.0.8", 80));
    EXPECT_TRUE(eventually([&] { return replies_.count() > seen; }));
}

TEST_F(Probe, TwoProbesEachReceiveTheirOwnReplies) {
    CBroadcastProbe second;
    Replies second_replies;
    second.SetDestination(keplin::test::loopback(camera_.port()));
    probe_.SetCallback(collect, &replies_);
    second.SetCallback(collect, &second_replies);
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    camera_.reply(camera_record("10.0.0.1", 80));
    ASSERT_EQ(second.Search(), 1);
    camera_.receive();
    camera_.reply(camera_record("10.0.0.2", 80));
    ASSERT_TRUE(eventually([&] { return replies_.count() == 1 && second_replies.count() == 1; }));
    EXPECT_STREQ(reinterpret_cast<const char*>(&replies_.received[0][4]), "10.0.0.1");
    EXPECT_STREQ(reinterpret_cast<const char*>(&second_replies.received[0][4]), "10.0.0.2");
}

TEST_F(Probe, AThrowingCallbackIsForgotten) {
    static std::atomic<int> calls{0};
    probe_.SetCallback([](const uint8_t*, void*) { ++calls; throw std::runtime_error("broken owner"); }, &replies_);
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    camera_.reply("a");
    camera_.reply("b");
    ASSERT_TRUE(eventually([&] { return calls.load() >= 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(calls.load(), 1);
    EXPECT_TRUE(probe_.IsReceiving());
}

TEST_F(Probe, SetDeviceReadsTheResultCode) {
    const BroadcastRecord record = broadcast_record_from_reply(
        reinterpret_cast<const uint8_t*>((camera_record("10.0.0.5", 81) + std::string(200, '\0')).data()));
    struct Case {
        std::vector<std::string> answers;
        int expected;
    };
    const Case cases[] = {
        {{set_result(BROADCAST_ACCEPTED)}, 1},
        {{set_result(0x0001), set_result(BROADCAST_REFUSED)}, -1},
        {{set_result(BROADCAST_REFUSED_OTHER, 600)}, -2},
        {{set_result(BROADCAST_ACCEPTED, BROADCAST_RESULT_SIZE - 1), set_result(BROADCAST_ACCEPTED)}, 0},
    };
    for (const Case& c : cases) {
        std::thread camera([&] {
            const std::string request = camera_.receive();
            ASSERT_EQ(request.size(), BROADCAST_RECORD_SIZE);
            EXPECT_EQ(request.substr(0, 4), std::string("\x44\x48\x02\x01", 4));
            EXPECT_EQ(static_cast<uint8_t>(request[84]), 0xAB);  // carried unchanged
            for (const std::string& answer : c.answers) {
                camera_.reply(answer);
            }
        });
        EXPECT_EQ(probe_.SetDevice(record), c.expected);
        camera.join();
    }
}

TEST_F(Probe, SetDeviceGivesUpAfterTheTimeOut) {
    BroadcastRecord record{};
    EXPECT_EQ(probe_.SetDevice(record), 0);
    EXPECT_EQ(camera_.receive().size(), BROADCAST_RECORD_SIZE);
}

TEST_F(Probe, ThousandSearchesLeaveNoDescriptorBehind) {
    probe_.SetCallback(collect, &replies_);
    const int descriptors = keplin::test::open_descriptors();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(probe_.Search(), 1);
    }
    probe_.StopReceiving();
    EXPECT_EQ(keplin::test::open_descriptors(), descriptors);
}
