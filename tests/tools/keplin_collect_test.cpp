// What the session hands over between threads: the local addresses as the
// window splits them, and command results from the dispatch thread. (The list
// of found cameras is the rules library's, tests/rules.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <ostream>
#include <thread>

#include "tools/keplin/output.h"
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

TEST(KeplinOutput, ReachesTheDescriptorWhileBeingWritten) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_GE(fcntl(fds[1], F_SETPIPE_SZ, 1 << 20), 1 << 20);
    const auto pending = [&fds] {
        int bytes = -1;
        EXPECT_EQ(ioctl(fds[0], FIONREAD, &bytes), 0);
        return bytes;
    };
    std::string expected;
    for (int n = 0; expected.size() < 200000; ++n) expected += "line " + std::to_string(n) + "\n";
    {
        FdOutput output(fds[1]);
        std::ostream out(&output);
        out << expected.substr(0, 60000);
        EXPECT_EQ(pending(), 0);  // a small result waits in the buffer
        for (char c : expected.substr(60000)) out << c;
        EXPECT_GE(pending(), 65536);  // a long one goes out as it is written
        EXPECT_FALSE(output.Failed());
    }
    EXPECT_EQ(pending(), static_cast<int>(expected.size()));
    close(fds[1]);
    std::string received(expected.size(), '\0');
    EXPECT_EQ(read(fds[0], received.data(), received.size()), static_cast<ssize_t>(expected.size()));
    close(fds[0]);
    EXPECT_EQ(received, expected);
}

TEST(KeplinOutput, AFailedWriteIsReported) {
    FdOutput output(-1);
    std::ostream out(&output);
    out << "lost" << std::flush;
    EXPECT_TRUE(output.Failed());
}
