// Where the tool's results go: a file descriptor written as the results are
// made, so that a long list never waits whole in memory for its reader.
#pragma once

#include <array>
#include <streambuf>

namespace keplin::cli {

// A stream buffer over `fd` (not closed by it). Writes are retried after
// signals; once one fails, the rest is dropped and Failed() says so.
class FdOutput : public std::streambuf {
public:
    explicit FdOutput(int fd) : m_fd(fd) { setp(m_buffer.data(), m_buffer.data() + m_buffer.size()); }
    ~FdOutput() override { sync(); }
    FdOutput(const FdOutput&) = delete;
    FdOutput& operator=(const FdOutput&) = delete;

    bool Failed() const { return m_failed; }

protected:
    int overflow(int c) override;
    int sync() override;

private:
    bool WriteAll(const char* data, std::size_t size);

    int m_fd;
    bool m_failed = false;
    std::array<char, 65536> m_buffer;
};

}  // namespace keplin::cli
