#include "replace_file.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool write_all(int fd, const QByteArray& bytes) {
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + at, size_t(bytes.size() - at), at);
        if (n > 0) at += n;
        if (n <= 0 && errno != EINTR) return false;
    }
    return true;
}

// Claims the space for size bytes where the file system can, so that a full
// disk fails before any old byte is overwritten; elsewhere the writes report it.
bool claim_space(int fd, qsizetype size) {
    return size == 0 || ::fallocate(fd, 0, 0, size) == 0 || errno == EOPNOTSUPP;
}

// Rewrites the existing regular file through its own inode: from the start,
// then cut to the new length and flushed to disk.
bool rewrite_in_place(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && claim_space(fd, bytes.size()) &&
                    write_all(fd, bytes) && ::ftruncate(fd, bytes.size()) == 0 && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

bool replace_file(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered, so that a short write on a full disk shows in write()'s count
    // instead of being lost in a buffer flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        // No temporary file beside it (a read-only folder holding a writable file).
        return rewrite_in_place(path, bytes);
    }
    if (file.write(bytes) != bytes.size()) return false; // discarded: the old file stays
    // Another user's file in a sticky folder cannot be renamed over, though it
    // may be writable: it is rewritten in place then.
    return file.commit() || rewrite_in_place(path, bytes);
}
