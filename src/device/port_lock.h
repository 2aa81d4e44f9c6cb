#pragma once

#include <string>

// Sole use of a serial device among the programs that take this lock: an
// exclusive flock() on the device node that a path leads to, through any
// links. Unlike the terminal's exclusive mode it binds root too, and it goes
// with the process, so a crash leaves nothing stale behind.
class PortLock {
public:
    enum class Outcome { taken, in_use, failed };

    PortLock() = default;
    ~PortLock() { release(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // Takes the lock for the device at `path`; on failure `why` says why.
    // Opening the node for the lock neither waits for a carrier nor changes
    // the line's settings.
    Outcome take(const std::string& path, std::string& why);
    void release();

private:
    int fd = -1;
};
