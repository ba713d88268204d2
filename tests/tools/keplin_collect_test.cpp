// What the session hands over between threads: the local addresses as the
// window splits them, and command results from the dispatch thread. (The list
// of found cameras is the rules library's, tests/rules.)
#include <gtest/gtest.h>

#include <thread>

#include "tools/keplin/session.h"

using namespace keplin::cli;
using namespace std::chrono_literals;

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
