#include "port_link.h"

#include "protocol/numbers.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

std::optional<std::string> read_link(const std::string& path) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    if (n < 0 || size_t(n) >= sizeof buf) return std::nullopt;
    return std::string(buf, size_t(n));
}

std::string link_path(const std::string& dir, int port) {
    return dir + "/com" + std::to_string(port);
}

// Whether the entry at `path` may make way: only a link that leads nowhere.
bool stale(const std::string& path, std::string& why) {
    struct stat entry {};
    if (::lstat(path.c_str(), &entry) != 0) {
        if (errno == ENOENT) return true;
        why = std::strerror(errno);
        return false;
    }
    if (!S_ISLNK(entry.st_mode)) {
        why = S_ISDIR(entry.st_mode)   ? "it is a directory"
              : S_ISREG(entry.st_mode) ? "it is a file"
                                       : "it is not a link";
        return false;
    }
    const std::string target = read_link(path).value_or("?");
    struct stat to {};
    if (::stat(path.c_str(), &to) != 0) return true;
    why = target.starts_with("/dev/pts/")
              ? "it leads to " + target + ", which a live process holds (another simulator?)"
              : "it links to " + target + ", not to a pseudo-terminal";
    return false;
}

} // namespace

std::optional<Line> open_line() {
    termios settings{};
    ::cfmakeraw(&settings);
    settings.c_cflag =
        (settings.c_cflag & ~tcflag_t(CSIZE | PARENB | CSTOPB)) | CS8 | CLOCAL | CREAD;
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    Line line;
    char pts[PATH_MAX] = {};
    if (::openpty(&line.master, &line.slave, nullptr, &settings, nullptr) != 0 ||
        ::ptsname_r(line.master, pts, sizeof pts) != 0)
        return std::nullopt;
    ::fcntl(line.master, F_SETFL, ::fcntl(line.master, F_GETFL) | O_NONBLOCK);
    ::fcntl(line.master, F_SETFD, FD_CLOEXEC);
    ::fcntl(line.slave, F_SETFD, FD_CLOEXEC);
    line.pts = pts;
    return line;
}

bool claim_link(const std::string& dir, int port, const std::string& pts, std::string& why,
                std::vector<std::string>& notes) {
    // A new terminal has no live link yet: whatever leads to it is stale.
    for (int n = inverter::port_min; n <= inverter::port_max; ++n) {
        const std::string path = link_path(dir, n);
        if (read_link(path) == pts && ::unlink(path.c_str()) == 0)
            notes.push_back("removed the stale link " + path + " -> " + pts);
    }
    const std::string path = link_path(dir, port);
    const std::optional<std::string> old = read_link(path);
    if (!stale(path, why)) return false;
    if (old) {
        if (::unlink(path.c_str()) != 0) {
            why = std::strerror(errno);
            return false;
        }
        notes.push_back("replaced the stale link " + path + " -> " + *old + " (nothing there)");
    }
    if (::symlink(pts.c_str(), path.c_str()) != 0) {
        why = std::strerror(errno);
        return false;
    }
    return true;
}

void release_link(const std::string& path, const std::string& pts) {
    if (read_link(path) == pts) ::unlink(path.c_str());
}

} // namespace sim
