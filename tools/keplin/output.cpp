#include "tools/keplin/output.h"

#include <unistd.h>

#include <cerrno>

namespace keplin::cli {

bool FdOutput::WriteAll(const char* data, std::size_t size) {
    while (size > 0 && !m_failed) {
        const ssize_t n = write(m_fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_failed = true;
            break;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return !m_failed;
}

int FdOutput::overflow(int c) {
    if (sync() != 0) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int FdOutput::sync() {
    const bool written = WriteAll(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    return written ? 0 : -1;
}

}  // namespace keplin::cli
