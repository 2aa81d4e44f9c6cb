#include "settings_folder.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Checked as the program's effective user, as opening the file will be.
bool writable(const fs::path& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

} // namespace

std::string user_settings_folder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && fs::path(data).is_absolute()) return (fs::path(data) / "lumivane").string();
    const char* home = std::getenv("HOME");
    if (home && *home) return (fs::path(home) / ".local/share/lumivane").string();
    return {};
}

std::string settings_folder(const std::string& program_dir) {
    const fs::path program(program_dir);
    if (writable(program) || writable(program / "el_dat.txt")) return program_dir;
    const fs::path user = user_settings_folder();
    std::error_code error;
    if (user.empty() || (!fs::create_directories(user, error) && error)) return program_dir;
    const fs::path presets = user / "el_dat.txt";
    if (!fs::exists(presets, error) && fs::exists(program / "el_dat.txt", error))
        fs::copy_file(program / "el_dat.txt", presets, error);
    return user.string();
}
