#include "read_file.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype limit = 64 * 1024;

// Up to limit bytes from fd; nothing on a read error.
std::optional<QByteArray> read_up_to_limit(int fd) {
    QByteArray content(limit, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < limit) {
        const ssize_t n = ::read(fd, content.data() + size, size_t(limit - size));
        if (n == 0) break;
        if (n < 0 && errno != EINTR) return std::nullopt;
        if (n > 0) size += n;
    }
    content.truncate(size);
    return content;
}

} // namespace

std::optional<QByteArray> read_file(const QString& path) {
    // Non-blocking, so that a FIFO opens without waiting for a writer; it is
    // then turned down for not being a regular file.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<QByteArray> content;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) content = read_up_to_limit(fd);
    ::close(fd);
    return content;
}
