// A thousand cameras answering one search at once inside the lab: every answer
// reaches the handler, none is lost to the engine's queue.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <string>

#include "engine/discovery.h"
#include "tests/lab/lab_support.h"

using keplin::lab::CamSim;
using keplin::lab::Lab;
using keplin::lab::waitFor;
using namespace std::chrono_literals;

namespace {

struct Seen {
    std::mutex lock;
    std::set<std::string> macs;
    int calls = 0;
};

int on_device(DiscoveryContext*, const char*, const DeviceRecord* record, void* data) {
    auto* seen = static_cast<Seen*>(data);
    std::lock_guard<std::mutex> hold(seen->lock);
    seen->macs.insert(record->mac);
    ++seen->calls;
    return 0;
}

TEST(LabBurst, AThousandAnswersInOneBurstAllArrive) {
    const Lab lab = Lab::require();
    CamSim cameras(lab, 0,
                   {"--count", "1000", "--camera",
                    "kind=text,id=BURST00000000000000000000000001,mac=02:30:00:00:00:01,ip=10.213.2.1"});
    DiscoveryContext* context = nullptr;
    ASSERT_EQ(discovery_open(DISCOVERY_GROUP, DISCOVERY_PORT, DISCOVERY_SEND_TIMEOUT_S, &context), DISC_OK);
    Seen seen;
    discovery_set_device_handler(context, on_device, &seen);
    char entries[1][LOCAL_ADDRESS_ENTRY] = {};
    copy_text_field(entries[0], LOCAL_ADDRESS_ENTRY, lab.pcAddresses[0].c_str());
    ASSERT_EQ(discovery_set_local_addresses(entries, 1), DISC_OK);
    ASSERT_EQ(discovery_search(context), DISC_OK);
    const bool all = waitFor(
        [&] {
            std::lock_guard<std::mutex> hold(seen.lock);
            return seen.macs.size() == 1000;
        },
        10s);
    discovery_close(context);
    std::lock_guard<std::mutex> hold(seen.lock);
    EXPECT_TRUE(all) << seen.macs.size() << " of 1000 cameras arrived";
    EXPECT_EQ(seen.calls, 1000);  // each answer once
}

}  // namespace
