#include "settings_folder.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path home_folder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* user = ::getpwuid(::getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

fs::path data_home() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && fs::path(data).is_absolute()) return data;
    const fs::path home = home_folder();
    return home.empty() ? home : home / ".local/share";
}

} // namespace

std::string user_settings_folder(const std::string& shipped_presets) {
    const fs::path data = data_home();
    if (data.empty()) return {};
    const fs::path folder = data / "lumivane", presets = folder / "el_dat.txt";
    std::error_code error;
    fs::create_directories(folder, error);
    if (!fs::exists(presets, error) && fs::exists(shipped_presets, error))
        fs::copy_file(shipped_presets, presets, error);
    return folder.string();
}

ProgramFolders program_folders([[maybe_unused]] const std::string& program_dir) {
#ifdef LUMIVANE_DATA_DIR
    return {LUMIVANE_DATA_DIR, user_settings_folder(LUMIVANE_DATA_DIR "/el_dat.txt")};
#else
    return {program_dir, program_dir};
#endif
}
