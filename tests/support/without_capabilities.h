#pragma once

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
