#include "platform/filecopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

namespace platform {
namespace {

// A unique name beside `target`, in the same folder so that rename() is
// atomic.
std::string TemporaryBeside(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    return target + ".part-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CopyContents(int in, int out) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (!WriteAll(out, buffer, static_cast<std::size_t>(n))) return false;
    }
}

bool CopyLink(const std::string& source, const std::string& temporary) {
    char link[PATH_MAX];
    const ssize_t n = readlink(source.c_str(), link, sizeof link - 1);
    if (n < 0) return false;
    return symlink(std::string(link, static_cast<std::size_t>(n)).c_str(), temporary.c_str()) == 0;
}

bool CopyRegular(const std::string& source, const std::string& temporary, mode_t mode) {
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = CopyContents(in, out);
    ok = ok && fchmod(out, mode & 0755) == 0;
    ok = ok && fsync(out) == 0;
    ok = close(out) == 0 && ok;
    close(in);
    return ok;
}

}  // namespace

bool CopyFileAtomic(const std::string& source, const std::string& target, bool fail_if_exists) {
    struct stat info {};
    if (lstat(source.c_str(), &info) != 0) return false;
    struct stat existing {};
    if (fail_if_exists && lstat(target.c_str(), &existing) == 0) return false;
    const std::string temporary = TemporaryBeside(target);
    bool ok = false;
    if (S_ISLNK(info.st_mode)) {
        ok = CopyLink(source, temporary);
    } else if (S_ISREG(info.st_mode)) {
        ok = CopyRegular(source, temporary, info.st_mode);
    }
    if (ok && fail_if_exists) {
        // link() refuses an existing name, where rename() would replace it.
        ok = link(temporary.c_str(), target.c_str()) == 0;
        unlink(temporary.c_str());
        return ok;
    }
    if (ok) ok = rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) unlink(temporary.c_str());
    return ok;
}

}  // namespace platform
