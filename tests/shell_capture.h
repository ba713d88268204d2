// Runs a command line in the tests and collects what it printed.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace test_shell {

struct Result {
    int status;  // exit status, -1 when it did not exit normally
    std::string out;
};

// Runs a command line made only of our own paths and collects its standard
// output (and its standard error too, with `with_errors`).
inline Result Shell(const std::string& command, bool with_errors = true) {
    Result result{-1, ""};
    std::FILE* pipe = popen((with_errors ? command + " 2>&1" : command).c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace test_shell
