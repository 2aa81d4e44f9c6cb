#include "port_lock.h"

#include "device_access.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

PortLock::Outcome PortLock::take(const std::string& path, std::string& why) {
    release();
    fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        why = std::strerror(error);
        if (error == EACCES) why += ": " + device_access::hint(path);
        // EBUSY: another program holds the terminal in exclusive mode.
        return error == EBUSY ? Outcome::in_use : Outcome::failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Outcome::taken;
    const int error = errno;
    release();
    why = std::strerror(error);
    return error == EWOULDBLOCK ? Outcome::in_use : Outcome::failed;
}

void PortLock::release() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}
