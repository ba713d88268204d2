// The discovery context and the finder facade, driven through the loopback of
// an empty network namespace: "cameras" are test sockets sending straight to
// the context's port.
#include "engine/discovery.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

using keplin::test::eventually;
using keplin::test::FakePeer;

namespace {

constexpr uint16_t kPort = 18002;
const char kDeviceId[] = "0123456789abcdef0123456789abcdef";

struct Received {
    std::mutex lock;
    std::vector<DeviceRecord> devices;
    std::vector<std::string> results;
    size_t device_count() {
        std::lock_guard<std::mutex> hold(lock);
        return devices.size();
    }
    size_t result_count() {
        std::lock_guard<std::mutex> hold(lock);
        return results.size();
    }
    bool has_device(const std::string& device_id) {
        std::lock_guard<std::mutex> hold(lock);
        for (const DeviceRecord& r : devices) {
            if (device_id == r.device_id) {
                return true;
            }
        }
        return false;
    }
};

int on_device(DiscoveryContext*, const char* status, const DeviceRecord* record, void* data) {
    auto* received = static_cast<Received*>(data);
    EXPECT_STREQ(status, "200");
    std::lock_guard<std::mutex> hold(received->lock);
    received->devices.push_back(*record);
    return 0;
}

int on_result(DiscoveryContext*, const char* status, const void* payload, void* data) {
    auto* received = static_cast<Received*>(data);
    EXPECT_EQ(payload, nullptr);
    std::lock_guard<std::mutex> hold(received->lock);
    received->results.emplace_back(status);
    return 0;
}

std::string reply(const char* client_id, const std::string& device_id, const std::string& extra = "") {
    return "HDS/1.0 200 OK\r\nCSeq:1\r\nClient-ID:" + std::string(client_id) + "\r\nDevice-ID=" + device_id +
           "\r\nIP=10.1.1.1\r\nMAC=" + device_id.substr(0, 17) + "\r\n" + extra;
}

std::string result(const char* client_id, const char* status_line, const std::string& sequence) {
    return std::string(status_line) + "\r\nCSeq:" + sequence + "\r\nClient-ID:" + client_id + "\r\n\r\n";
}

// The device id of the marker reply a test sends last.
const std::string kMarkerId(32, 'M');

class Context : public ::testing::Test {
protected:
    void SetUp() override {
        if (!keplin::test::in_empty_namespace()) {
            GTEST_SKIP() << "needs an empty network namespace (run it through ctest)";
        }
        discovery_clear_local_addresses();
        ASSERT_EQ(discovery_open(DISCOVERY_GROUP, kPort, 1, &context_), DISC_OK);
        ASSERT_EQ(discovery_set_device_handler(context_, on_device, &received_), DISC_OK);
        ASSERT_EQ(discovery_set_result_handler(context_, on_result, &received_), DISC_OK);
    }
    void TearDown() override {
        if (context_ != nullptr) {
            EXPECT_EQ(discovery_close(context_), DISC_OK);
        }
    }
    const char* id() const { return discovery_client_id(context_); }
    int command(const char* device_id = kDeviceId) {
        const CommandAuth auth{device_id, "admin", "pw"};
        return discovery_command(context_, &auth, CMD_HTTPPORT, "81");
    }

    // Sends a reply of the marker camera after everything sent so far and
    // waits for it: datagrams from one sender on the loopback arrive in order
    // and are dispatched in order, so whatever came before it has been handled.
    // The marker itself is taken out of the list again.
    void wait_for_marker() {
        camera_.send_to(kPort, reply(id(), kMarkerId));
        ASSERT_TRUE(eventually([&] { return received_.has_device(kMarkerId); }));
        std::lock_guard<std::mutex> hold(received_.lock);
        received_.devices.pop_back();
    }

    DiscoveryContext* context_ = nullptr;
    Received received_;
    FakePeer camera_;
};

}  // namespace

TEST_F(Context, SearchWithoutLocalAddressesIsNotReadyThenSendsOnceSet) {
    EXPECT_EQ(discovery_search(context_), DISC_E_NOT_READY);
    EXPECT_EQ(discovery_search_sent(context_), 0);
    char entries[1][LOCAL_ADDRESS_ENTRY] = {"127.0.0.1"};
    ASSERT_EQ(discovery_set_local_addresses(entries, 1), DISC_OK);
    EXPECT_EQ(discovery_search(context_), DISC_OK);
    EXPECT_EQ(discovery_search_sent(context_), 1);  // out through the loopback, to nobody
}

// An adapter without an IPv4 address is listed as 0.0.0.0: a search from it
// finds no route, and the caller can tell that nothing went out.
TEST_F(Context, SearchThroughAddresslessAdaptersReportsNothingSent) {
    char entries[2][LOCAL_ADDRESS_ENTRY] = {"0.0.0.0", "0.0.0.0"};
    ASSERT_EQ(discovery_set_local_addresses(entries, 2), DISC_OK);
    testing::internal::CaptureStdout();
    EXPECT_EQ(discovery_search(context_), DISC_OK);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(discovery_search_sent(context_), 0);
    EXPECT_EQ(discovery_search_sent(nullptr), 0);
}

TEST_F(Context, DeliversRepliesWithItsOwnClientIdOnly) {
    camera_.send_to(kPort, reply("SomeoneElseSomeoneElseSomeoneEls", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"));
    camera_.send_to(kPort, "Device-ID=bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\r\n");  // no Client-ID at all
    camera_.send_to(kPort, reply(id(), "cccccccccccccccccccccccccccccccc", "Device-Name=\"Hall\"\r\n"));
    camera_.send_to(kPort, reply(id(), "dddddddddddddddddddddddddddddddd"));
    wait_for_marker();
    std::lock_guard<std::mutex> hold(received_.lock);
    ASSERT_EQ(received_.devices.size(), 2U);
    EXPECT_STREQ(received_.devices[0].device_id, "cccccccccccccccccccccccccccccccc");
    EXPECT_STREQ(received_.devices[0].device_name, "Hall");
    EXPECT_STREQ(received_.devices[1].device_id, "dddddddddddddddddddddddddddddddd");
}

TEST_F(Context, HostileDatagramsAreSurvived) {
    camera_.send_to(kPort, "");
    camera_.send_to(kPort, std::string(65000, 'x'));
    std::string binary(3000, '\0');
    for (size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<char>(i * 7);
    }
    camera_.send_to(kPort, binary);
    // 2048 bytes or more without a NUL: the text is taken to end with the buffer.
    std::string full = reply(id(), std::string(32, 'f'));
    full += std::string(RECEIVE_BUFFER_SIZE + 100 - full.size(), 'z');
    camera_.send_to(kPort, full);
    camera_.send_to(kPort, reply(id(), std::string(40, 'g'), "Device-Name=\"\r\nDevice-Name=x\r\n"));
    ASSERT_TRUE(eventually([&] { return received_.device_count() == 2; }));
    std::lock_guard<std::mutex> hold(received_.lock);
    EXPECT_STREQ(received_.devices[0].device_id, std::string(32, 'f').c_str());
    EXPECT_STREQ(received_.devices[1].device_id, std::string(32, 'g').c_str());
    EXPECT_STREQ(received_.devices[1].device_name, "");
}

TEST_F(Context, EachCommandGetsAtMostOneResult) {
    EXPECT_EQ(command("0123456789abcdef0123456789abcde"), DISC_E_INVALID);  // 31 characters: nothing used
    const CommandAuth auth{kDeviceId, "admin", "pw"};
    EXPECT_EQ(discovery_command(context_, &auth, 6, "81"), DISC_E_INVALID);
    EXPECT_EQ(discovery_command(context_, &auth, 0, "81"), DISC_E_INVALID);
    EXPECT_EQ(discovery_command(context_, &auth, CMD_HTTPPORT, nullptr), DISC_E_INVALID);
    EXPECT_EQ(discovery_command(context_, nullptr, CMD_HTTPPORT, "81"), DISC_E_INVALID);
    EXPECT_EQ(discovery_command(nullptr, &auth, CMD_HTTPPORT, "81"), DISC_E_INVALID);
    ASSERT_EQ(command(), DISC_OK);  // so this one carries 1
    ASSERT_EQ(command(), DISC_OK);  // and this one 2

    camera_.send_to(kPort, result(id(), "HDS/1.0 401 Unauthorized", "2"));
    camera_.send_to(kPort, result(id(), "HDS/1.0 401 Unauthorized", "2"));  // repeated
    camera_.send_to(kPort, result(id(), "MCTP/1.0 200 OK", "0"));
    camera_.send_to(kPort, result(id(), "MCTP/1.0 200 OK", "77"));           // never sent
    camera_.send_to(kPort, "MCTP/1.0 200 OK\r\nClient-ID:" + std::string(id()) + "\r\n");  // no CSeq
    camera_.send_to(kPort, result(id(), "MCTP/1.0 200 OK", "1"));
    wait_for_marker();
    std::lock_guard<std::mutex> hold(received_.lock);
    EXPECT_EQ(received_.results, (std::vector<std::string>{"401", "200"}));
}

TEST_F(Context, OldestPendingCommandIsForgottenAfterFifty) {
    for (int i = 0; i < PENDING_SLOTS + 1; ++i) {
        ASSERT_EQ(command(), DISC_OK);
    }
    camera_.send_to(kPort, result(id(), "HDS/1.0 403 Forbidden", "1"));   // overwritten by the 51st
    camera_.send_to(kPort, result(id(), "HDS/1.0 403 Forbidden", "51"));
    wait_for_marker();
    EXPECT_EQ(received_.result_count(), 1U);
}

TEST_F(Context, CommandTooLargeForItsBufferIsRefused) {
    const std::string user(1000, 'u');
    const CommandAuth auth{kDeviceId, user.c_str(), "pw"};
    EXPECT_EQ(discovery_command(context_, &auth, CMD_HTTPPORT, "81"), DISC_E_INVALID);
    ASSERT_EQ(command(), DISC_OK);  // the refused one used no sequence number
    camera_.send_to(kPort, result(id(), "MCTP/1.0 200 OK", "1"));
    EXPECT_TRUE(eventually([&] { return received_.result_count() == 1; }));
}

TEST_F(Context, FirstHandlerRegistrationStays) {
    Received other;
    EXPECT_EQ(discovery_set_device_handler(context_, on_device, &other), DISC_OK);
    camera_.send_to(kPort, reply(id(), std::string(32, 'h')));
    wait_for_marker();
    EXPECT_EQ(received_.device_count(), 1U);
    EXPECT_EQ(other.device_count(), 0U);
}

TEST_F(Context, CloseReturnsWhileTheReceiveIsBlocked) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // both threads are waiting now
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(discovery_close(context_), DISC_OK);
    context_ = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(ContextArguments, RefusedWithTheirCodes) {
    DiscoveryContext* context = nullptr;
    EXPECT_EQ(discovery_open(nullptr, kPort, 4, &context), DISC_E_INVALID);
    EXPECT_EQ(discovery_open(DISCOVERY_GROUP, kPort, 4, nullptr), DISC_E_INVALID);
    EXPECT_EQ(discovery_close(nullptr), DISC_E_INVALID);
    EXPECT_EQ(discovery_search(nullptr), DISC_E_INVALID);
    EXPECT_EQ(discovery_set_device_handler(nullptr, on_device, nullptr), DISC_E_INVALID);
    EXPECT_EQ(discovery_set_result_handler(nullptr, on_result, nullptr), DISC_E_INVALID);
}

TEST(Sockets, DiagnosticLines) {
    testing::internal::CaptureStdout();
    in_addr foreign{};
    inet_pton(AF_INET, "10.123.45.67", &foreign);  // not an address of this namespace
    EXPECT_EQ(open_udp_socket(foreign.s_addr, 8002), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " 3 bind failure\n");

    sockaddr_in to = keplin::test::loopback(9);
    EXPECT_EQ(send_with_timeout(-1, 1, "x", 1, &to), -1);
    const int s = open_udp_socket(htonl(INADDR_LOOPBACK), 0);
    ASSERT_GE(s, 0);
    EXPECT_EQ(send_with_timeout(s, 1, "x", 0, &to), -1);
    EXPECT_EQ(send_with_timeout(s, 1, nullptr, 1, &to), -1);
    EXPECT_EQ(send_with_timeout(s, 1, "x", 1, &to), 0);
    close(s);
}

TEST(ContextLifecycle, ThousandOpenCloseCyclesLeaveNothingBehind) {
    if (!keplin::test::in_empty_namespace()) {
        GTEST_SKIP() << "needs an empty network namespace (run it through ctest)";
    }
    char entries[1][LOCAL_ADDRESS_ENTRY] = {"127.0.0.1"};
    discovery_set_local_addresses(entries, 1);
    // One cycle first: a sanitizer's runtime starts its own helper thread at the
    // process's first thread, which must not count against the engine.
    {
        DiscoveryContext* context = nullptr;
        ASSERT_EQ(discovery_open(DISCOVERY_GROUP, kPort, 1, &context), DISC_OK);
        discovery_search(context);
        ASSERT_EQ(discovery_close(context), DISC_OK);
    }
    const int descriptors = keplin::test::open_descriptors();
    const int threads = keplin::test::running_threads();
    for (int i = 0; i < 1000; ++i) {
        DiscoveryContext* context = nullptr;
        ASSERT_EQ(discovery_open(DISCOVERY_GROUP, kPort, 1, &context), DISC_OK);
        if (i % 10 == 0) {
            discovery_search(context);  // some with send sockets too
        }
        ASSERT_EQ(discovery_close(context), DISC_OK);
    }
    EXPECT_EQ(keplin::test::open_descriptors(), descriptors);
    EXPECT_EQ(keplin::test::running_threads(), threads);
}

TEST(Finder, FallsBackToTheSecondPortWhenTheFirstIsTaken) {
    if (!keplin::test::in_empty_namespace()) {
        GTEST_SKIP() << "needs an empty network namespace (run it through ctest)";
    }
    // A socket without address reuse holds the discovery port.
    const int holder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(DISCOVERY_PORT);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);

    Received received;
    CDeviceFinder finder;
    char entries[1][LOCAL_ADDRESS_ENTRY] = {"127.0.0.1"};
    testing::internal::CaptureStdout();
    ASSERT_EQ(finder.Start(on_device, on_result, &received, entries, 1), 0);
    // (the empty namespace has no multicast interface, so " 4 IP_ADD_MEMBERSHIP" follows here)
    EXPECT_EQ(testing::internal::GetCapturedStdout().rfind(" 3 bind failure\n<Keplin>create socket error.\n", 0), 0U);
    ASSERT_NE(finder.Context(), nullptr);
    EXPECT_EQ(discovery_port(finder.Context()), DISCOVERY_FALLBACK_PORT);

    // Replies on the fallback port reach the handler.
    FakePeer camera;
    camera.send_to(DISCOVERY_FALLBACK_PORT, reply(discovery_client_id(finder.Context()), std::string(32, 'k')));
    EXPECT_TRUE(eventually([&] { return received.device_count() == 1; }));
    close(holder);
}

// A handler that stops its own finder is refused, and everything goes on.
TEST(Finder, StopFromAHandlerIsRefusedAndForgetsNothing) {
    if (!keplin::test::in_empty_namespace()) {
        GTEST_SKIP() << "needs an empty network namespace (run it through ctest)";
    }
    struct Stopper {
        CDeviceFinder finder;
        std::atomic<int> calls{0};
        std::atomic<int> stop_result{1};
    } stopper;
    const DeviceHandler stop_in_handler = [](DiscoveryContext*, const char*, const DeviceRecord*, void* data) {
        auto* s = static_cast<Stopper*>(data);
        s->stop_result = s->finder.Stop();
        ++s->calls;
        return 0;
    };
    char entries[1][LOCAL_ADDRESS_ENTRY] = {"127.0.0.1"};
    ASSERT_EQ(stopper.finder.Start(stop_in_handler, on_result, &stopper, entries, 1), 0);
    const uint16_t port = discovery_port(stopper.finder.Context());
    FakePeer camera;
    camera.send_to(port, reply(discovery_client_id(stopper.finder.Context()), std::string(32, 'p')));
    ASSERT_TRUE(eventually([&] { return stopper.calls == 1; }));
    EXPECT_EQ(stopper.stop_result, -1);
    ASSERT_NE(stopper.finder.Context(), nullptr);
    // Still receiving and dispatching.
    camera.send_to(port, reply(discovery_client_id(stopper.finder.Context()), std::string(32, 'q')));
    EXPECT_TRUE(eventually([&] { return stopper.calls == 2; }));
    EXPECT_EQ(stopper.finder.Stop(), 0);
    EXPECT_EQ(stopper.finder.Context(), nullptr);
}

TEST(Finder, CallsWithoutAnOpenContext) {
    if (!keplin::test::in_empty_namespace()) {
        GTEST_SKIP() << "needs an empty network namespace (run it through ctest)";
    }
    CDeviceFinder finder;
    DeviceRecord record{};
    const CommandAuth auth{kDeviceId, "a", "b"};
    EXPECT_EQ(finder.Search('M'), 0);  // before Start: nothing
    EXPECT_EQ(finder.Search('X'), 0);
    EXPECT_EQ(finder.SetNetwork(auth, record), -1);
    EXPECT_EQ(finder.Start(on_device, on_result, nullptr, nullptr, 0), -1);  // no handler data
    EXPECT_EQ(finder.Context(), nullptr);

    Received received;
    char entries[1][LOCAL_ADDRESS_ENTRY] = {"127.0.0.1"};
    ASSERT_EQ(finder.Start(on_device, on_result, &received, entries, 1), 0);
    EXPECT_EQ(finder.SetNetwork(auth, record), DISC_OK);
    EXPECT_EQ(finder.SetHttpPort(auth, "81"), DISC_OK);
    finder.Stop();
    EXPECT_EQ(finder.Context(), nullptr);
    EXPECT_EQ(finder.Search('M'), 0);
    EXPECT_EQ(finder.SetNetwork(auth, record), -1);
    EXPECT_EQ(finder.SetHttpPort(auth, "81"), -1);
    EXPECT_EQ(finder.SetBroadcastCallback(nullptr, nullptr), -1);
}
