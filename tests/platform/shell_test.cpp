#include "platform/shell.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

TEST(Shell, ExecutableDirectoryEndsWithSlashAndHoldsThisProgram) {
    const std::string dir = platform::ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(dir.front(), '/');
}

TEST(Shell, UrlsThatTheOpenerWouldTakeAsOptionsAreRefused) {
    std::vector<std::string> opened;
    platform::SetUrlOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    EXPECT_TRUE(platform::OpenUrl("http://10.0.0.5:80"));
    EXPECT_FALSE(platform::OpenUrl(""));
    EXPECT_FALSE(platform::OpenUrl("--help"));
    platform::SetUrlOpener({});
    EXPECT_EQ(opened, std::vector<std::string>{"http://10.0.0.5:80"});
}

TEST(Shell, ArgumentsReachTheProgramUnchangedWithoutAShell) {
    // Through a shell this name would run a second command.
    const std::string marker = "/tmp/shell_test $(echo x);touch shell_test_injected";
    ASSERT_TRUE(platform::SpawnDetached({"touch", marker}));
    EXPECT_FALSE(platform::SpawnDetached({"/nonexistent/program"}));
    EXPECT_FALSE(platform::SpawnDetached({}));
    for (int i = 0; i < 100 && access(marker.c_str(), F_OK) != 0; ++i) usleep(20000);
    EXPECT_EQ(access(marker.c_str(), F_OK), 0);
    EXPECT_NE(access("shell_test_injected", F_OK), 0);
    std::remove(marker.c_str());
}

TEST(Shell, CapturedOutputsStaySeparateAndLargeOutputDoesNotStall) {
    // 200 KB on each output: more than a pipe holds, so both must be read together.
    const auto r = platform::RunAndCapture(
        {"sh", "-c", "head -c 200000 /dev/zero | tr '\\0' o; head -c 200000 /dev/zero | tr '\\0' e >&2; read x; exit 3"});
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.status, 3);  // `read` met an empty standard input and did not wait
    EXPECT_EQ(r.out, std::string(200000, 'o'));
    EXPECT_EQ(r.err, std::string(200000, 'e'));

    EXPECT_EQ(platform::RunAndCapture({"sh", "-c", "kill -TERM $$"}).status, 128 + SIGTERM);
    EXPECT_FALSE(platform::RunAndCapture({"/nonexistent/program"}).started);
    EXPECT_FALSE(platform::RunAndCapture({}).started);
}

}  // namespace
