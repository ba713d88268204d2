// The broadcast probe against a fake camera on the loopback of an empty
// network namespace.
#include "engine/discovery.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
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
    // The probe goes first, so that its thread has ended before what its
    // callback writes to.
    FakePeer camera_;
    Replies replies_;
    CBroadcastProbe probe_;
};

// Holds the probe's receive thread at the first step a test names, until the
// test has done what it wants to do in between.
class Gate {
public:
    using Step = CBroadcastProbe::ReceiveStep;
    Gate(Step step, bool datagram_only) : step_(step), datagram_only_(datagram_only) {}
    ~Gate() { release(); }

    static void Seam(Step step, long result, void* data) {
        auto* gate = static_cast<Gate*>(data);
        if (step != gate->step_ || (gate->datagram_only_ && result <= 0)) {
            return;
        }
        std::unique_lock<std::mutex> hold(gate->lock_);
        if (gate->reached_) {
            return;  // once only
        }
        gate->reached_ = true;
        gate->changed_.notify_all();
        gate->changed_.wait_for(hold, std::chrono::seconds(5), [gate] { return gate->released_; });
    }
    bool reached() {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::seconds(5), [this] { return reached_; });
    }
    void release() {
        std::lock_guard<std::mutex> hold(lock_);
        released_ = true;
        changed_.notify_all();
    }

private:
    Step step_;
    bool datagram_only_;
    std::mutex lock_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool released_ = false;
};

}  // namespace

// The wire record written out by hand, byte by byte, every field filled to its
// last byte so that a field one byte too long or short shifts its neighbours.
TEST(BroadcastRecordLayout, EveryFieldSitsAtItsWireOffset) {
    std::vector<uint8_t> wire(BROADCAST_REPLY_SIZE, 0);
    const auto put = [&wire](size_t offset, const std::string& text) {
        memcpy(&wire[offset], text.data(), text.size());
    };
    put(0, "DH");
    wire[2] = 0x01;
    wire[3] = 0x01;
    put(4, "192.168.100.101");       // ip, 16 bytes with its NUL
    put(20, "255.255.255.128");      // mask
    put(36, "192.168.100.254");      // gateway
    put(52, std::string(16, '\xA1')); // reserved
    put(68, "192.168.100.253");      // dns
    put(84, std::string(6, '\xA2'));
    wire[90] = 0x90;                 // http port 8080, little-endian
    wire[91] = 0x1F;
    put(92, std::string(32, '\xA3'));
    put(124, std::string(79, 'n'));  // device name
    put(204, std::string(15, 's'));  // software version
    put(220, std::string(15, 'w'));  // web version
    put(236, std::string(31, 'u'));  // user
    put(268, std::string(32, 'p'));  // password, 33 bytes
    wire[301] = 1;                   // address mode
    put(302, std::string(22, '\xA4'));

    const BroadcastRecord record = broadcast_record_from_reply(wire.data());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.magic), 2), "DH");
    EXPECT_EQ(record.type[0], 0x01);
    EXPECT_STREQ(record.ip, "192.168.100.101");
    EXPECT_STREQ(record.mask, "255.255.255.128");
    EXPECT_STREQ(record.gateway, "192.168.100.254");
    EXPECT_EQ(record.reserved1[0], 0xA1);
    EXPECT_EQ(record.reserved1[15], 0xA1);
    EXPECT_STREQ(record.dns, "192.168.100.253");
    EXPECT_EQ(record.reserved2[5], 0xA2);
    EXPECT_EQ(broadcast_http_port(record), 8080);
    EXPECT_EQ(record.reserved3[0], 0xA3);
    EXPECT_EQ(record.reserved3[31], 0xA3);
    EXPECT_EQ(std::string(record.device_name), std::string(79, 'n'));
    EXPECT_EQ(std::string(record.software_version), std::string(15, 's'));
    EXPECT_EQ(std::string(record.web_version), std::string(15, 'w'));
    EXPECT_EQ(std::string(record.user), std::string(31, 'u'));
    EXPECT_EQ(std::string(record.password), std::string(32, 'p'));
    EXPECT_EQ(record.address_mode, 1);
    EXPECT_EQ(record.reserved4[0], 0xA4);
    EXPECT_EQ(record.reserved4[21], 0xA4);

    // And back: a record filled through its fields gives the same bytes.
    BroadcastRecord built{};
    memcpy(built.magic, "DH", 2);
    built.type[0] = built.type[1] = 0x01;
    copy_text_field(built.ip, sizeof built.ip, "192.168.100.101");
    copy_text_field(built.mask, sizeof built.mask, "255.255.255.128");
    copy_text_field(built.gateway, sizeof built.gateway, "192.168.100.254");
    memset(built.reserved1, 0xA1, sizeof built.reserved1);
    copy_text_field(built.dns, sizeof built.dns, "192.168.100.253");
    memset(built.reserved2, 0xA2, sizeof built.reserved2);
    set_broadcast_http_port(built, 8080);
    memset(built.reserved3, 0xA3, sizeof built.reserved3);
    copy_text_field(built.device_name, sizeof built.device_name, std::string(200, 'n').c_str());
    copy_text_field(built.software_version, sizeof built.software_version, std::string(200, 's').c_str());
    copy_text_field(built.web_version, sizeof built.web_version, std::string(200, 'w').c_str());
    copy_text_field(built.user, sizeof built.user, std::string(200, 'u').c_str());
    copy_text_field(built.password, sizeof built.password, std::string(200, 'p').c_str());
    built.address_mode = 1;
    memset(built.reserved4, 0xA4, sizeof built.reserved4);
    ASSERT_EQ(sizeof built, BROADCAST_RECORD_SIZE);
    EXPECT_EQ(std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&built),
                                   reinterpret_cast<const uint8_t*>(&built) + sizeof built),
              std::vector<uint8_t>(wire.begin(), wire.begin() + BROADCAST_RECORD_SIZE));
}

TEST(BroadcastRecordLayout, TextFieldsAreCutAndTerminated) {
    BroadcastRecord record{};
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

// A repeated request goes out from the socket the thread reads: a late reply
// to the first request is still delivered, with one thread throughout.
TEST_F(Probe, ARepeatedRequestKeepsTheSocketOfTheFirst) {
    probe_.SetCallback(collect, &replies_);
    ASSERT_EQ(probe_.SearchAgain(), 1);  // no thread yet: a plain search
    camera_.receive();
    const uint16_t first = camera_.last_port();
    const int threads = keplin::test::running_threads();
    camera_.reply(camera_record("10.0.0.1", 80));
    ASSERT_TRUE(eventually([&] { return replies_.count() == 1; }));

    ASSERT_EQ(probe_.SearchAgain(), 1);
    EXPECT_EQ(camera_.receive(), std::string("\x44\x48\x01\x01", 4));
    EXPECT_EQ(camera_.last_port(), first);
    camera_.send_to(first, camera_record("10.0.0.2", 80));  // late, to the first request
    ASSERT_TRUE(eventually([&] { return replies_.count() == 2; }));
    EXPECT_EQ(keplin::test::running_threads(), threads);
}

// Repeated just as the thread times out, the request's replies are still read.
TEST_F(Probe, ARepeatAsTheThreadTimesOutKeepsItReading) {
    Gate gate(Gate::Step::Ending, false);
    probe_.SetReceiveSeam(&Gate::Seam, &gate);
    probe_.SetReceiveTimeout(100);
    probe_.SetCallback(collect, &replies_);
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    ASSERT_TRUE(gate.reached());  // timed out, not yet ended
    ASSERT_EQ(probe_.SearchAgain(), 1);
    camera_.receive();
    camera_.reply(camera_record("10.0.0.3", 80));
    gate.release();
    EXPECT_TRUE(eventually([&] { return replies_.count() == 1; }));
    probe_.StopReceiving();
    probe_.SetReceiveSeam(nullptr, nullptr);
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
    static std::atomic<int> calls;
    calls = 0;  // the test programs run repeated
    probe_.SetCallback([](const uint8_t*, void*) { ++calls; throw std::runtime_error("broken owner"); }, &replies_);
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    camera_.reply("a");
    camera_.reply("b");
    ASSERT_TRUE(eventually([&] { return calls.load() >= 1; }));
    // A new callback, and a marker reply after the others: once it is in, the
    // thread is past "b" too.
    probe_.SetCallback(collect, &replies_);
    camera_.reply("marker");
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> hold(replies_.lock);
        return !replies_.received.empty() && replies_.received.back()[0] == 'm';
    }));
    EXPECT_EQ(calls.load(), 1);
    EXPECT_TRUE(probe_.IsReceiving());
}

// A search made while the receive thread is about to end on its time-out is
// still read: the thread stays for it, or a new one starts.
TEST_F(Probe, ASearchAsTheThreadTimesOutStillGetsItsReplies) {
    Gate gate(Gate::Step::Ending, false);
    probe_.SetReceiveSeam(&Gate::Seam, &gate);
    probe_.SetReceiveTimeout(100);
    probe_.SetCallback(collect, &replies_);
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    ASSERT_TRUE(gate.reached());  // timed out, not yet ended
    ASSERT_EQ(probe_.Search(), 1);
    EXPECT_EQ(camera_.receive(), std::string("\x44\x48\x01\x01", 4));
    camera_.reply(camera_record("10.0.0.3", 80));
    gate.release();
    EXPECT_TRUE(eventually([&] { return replies_.count() == 1; }));
    probe_.StopReceiving();
    probe_.SetReceiveSeam(nullptr, nullptr);
}

// A reply the thread has just read when a newer search replaces its socket is
// delivered, and so are the replies still waiting in the old socket.
TEST_F(Probe, RepliesToTheReplacedSocketAreStillDelivered) {
    Gate gate(Gate::Step::Received, true);
    probe_.SetReceiveSeam(&Gate::Seam, &gate);
    probe_.SetCallback(collect, &replies_);
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    camera_.reply(camera_record("10.0.0.1", 80));
    camera_.reply(camera_record("10.0.0.2", 80));
    ASSERT_TRUE(gate.reached());  // the first is read, not yet handed over
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    camera_.reply(camera_record("10.0.0.3", 80));  // to the new socket
    gate.release();
    ASSERT_TRUE(eventually([&] { return replies_.count() == 3; }));
    std::lock_guard<std::mutex> hold(replies_.lock);
    EXPECT_STREQ(reinterpret_cast<const char*>(&replies_.received[0][4]), "10.0.0.1");
    EXPECT_STREQ(reinterpret_cast<const char*>(&replies_.received[1][4]), "10.0.0.2");
    EXPECT_STREQ(reinterpret_cast<const char*>(&replies_.received[2][4]), "10.0.0.3");
}

// Stopped from its own callback and asked to search again from there, the
// probe keeps reading; a search from the caller after such a stop also does.
TEST_F(Probe, StopAndSearchFromTheCallbackKeepReading) {
    struct Owner {
        CBroadcastProbe* probe;
        Replies* replies;
        std::atomic<int> searched{-1};
    } owner{&probe_, &replies_};
    probe_.SetCallback(
        [](const uint8_t* reply, void* data) {
            auto* o = static_cast<Owner*>(data);
            collect(reply, o->replies);
            if (o->searched < 0) {
                o->probe->StopReceiving();
                o->searched = o->probe->Search();
            }
        },
        &owner);
    ASSERT_EQ(probe_.Search(), 1);
    camera_.receive();
    camera_.reply(camera_record("10.0.0.1", 80));
    camera_.receive();  // the search made from the callback
    camera_.reply(camera_record("10.0.0.2", 80));
    ASSERT_TRUE(eventually([&] { return replies_.count() == 2; }));
    EXPECT_EQ(owner.searched, 1);
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
    probe_.SetReceiveTimeout(300);
    BroadcastRecord record{};
    EXPECT_EQ(probe_.SetDevice(record), 0);
    EXPECT_EQ(camera_.receive().size(), BROADCAST_RECORD_SIZE);

    // A camera that keeps sending non-final answers does not keep it waiting:
    // the time-out bounds the whole wait, not each receive.
    std::atomic<bool> answering{true};
    std::thread camera([&] {
        camera_.receive();
        while (answering) {
            camera_.reply(set_result(0x0001));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    EXPECT_EQ(probe_.SetDevice(record), 0);
    answering = false;
    camera.join();
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
