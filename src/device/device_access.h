#pragma once

#include <string>

// Why the system refuses a serial device to this user, and what to do about
// it: serial devices belong to a group (dialout on Debian) whose members may
// read and write them, and a user joins it once, taking it at the next login.
namespace device_access {

// Whether this user may not read and write the device at `path`, which exists.
bool refused(const std::string& path);
// The group whose members may read and write the device; empty when none may.
std::string group(const std::string& path);
// The name of the user this program runs as.
std::string user();
// One sentence for the log: the group to join and the command that joins it.
std::string hint(const std::string& path);

} // namespace device_access
