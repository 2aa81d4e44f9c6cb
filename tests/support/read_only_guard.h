#pragma once

#include <QFile>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Drops capabilities from this thread's effective set until the guard ends,
// so that a test run as root meets the permission checks a user meets.
class WithoutCapabilities {
public:
    explicit WithoutCapabilities(unsigned mask) {
        syscall(SYS_capget, &header, caps);
        effective = caps[0].effective;
        caps[0].effective &= ~mask;
        syscall(SYS_capset, &header, caps);
    }
    ~WithoutCapabilities() {
        caps[0].effective = effective;
        syscall(SYS_capset, &header, caps);
    }

private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    unsigned effective; // as it was
};

// Makes a folder read-only for this test, also when the tests run as root:
// the folder loses its write bits, and the capabilities that override file
// permissions are dropped until the guard ends.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& folder) : path(folder) {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~ReadOnlyFolder() {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QString path;
    WithoutCapabilities as_a_user{1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH};
};
