#include "read_only_guard.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool get_caps(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
}

bool set_caps(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capset, &header, data) == 0;
}

constexpr unsigned file_override_caps =
    1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH | 1u << CAP_FOWNER;

} // namespace

ReadOnlyFolder::ReadOnlyFolder(const QString& folder)
    : path(folder), old_permissions(QFile::permissions(folder)) {
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    __user_cap_data_struct data[2];
    if (get_caps(data)) {
        old_effective = data[0].effective;
        data[0].effective &= ~file_override_caps;
        capabilities_dropped = set_caps(data);
    }
}

ReadOnlyFolder::~ReadOnlyFolder() {
    if (capabilities_dropped) {
        __user_cap_data_struct data[2];
        if (get_caps(data)) {
            data[0].effective = old_effective;
            set_caps(data);
        }
    }
    QFile::setPermissions(path, old_permissions);
}
