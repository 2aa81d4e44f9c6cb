#include "device_access.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace device_access {

bool refused(const std::string& path) {
    // With the effective user, groups and capabilities, as opening it would be.
    return ::access(path.c_str(), F_OK) == 0 &&
           ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

std::string group(const std::string& path) {
    struct stat s {};
    if (::stat(path.c_str(), &s) != 0 || (s.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return {};
    const struct group* g = ::getgrgid(s.st_gid);
    return g != nullptr && s.st_gid != 0 ? g->gr_name : std::string();
}

std::string user() {
    const passwd* p = ::getpwuid(::geteuid());
    return p != nullptr ? p->pw_name : std::to_string(::geteuid());
}

std::string hint(const std::string& path) {
    const std::string g = group(path);
    if (g.empty())
        return path + " is open to no group of users: ask the administrator for access to it.";
    return path + " belongs to the group " + g + ", which " + user() +
           " is not in: join it with \"sudo adduser " + user() + ' ' + g +
           "\", then log out and in again (the group counts from the next login).";
}

} // namespace device_access
