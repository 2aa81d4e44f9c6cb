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

} // namespace

std::string user_settings_folder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && fs::path(data).is_absolute()) return (fs::path(data) / "lumivane").string();
    const fs::path home = home_folder();
    return home.empty() ? std::string() : (home / ".local/share/lumivane").string();
}

std::string made_user_settings_folder(const std::string& shipped_presets) {
    const std::string folder = user_settings_folder();
    if (folder.empty()) return folder;
    const fs::path presets = fs::path(folder) / "el_dat.txt";
    std::error_code error;
    fs::create_directories(folder, error);
    if (!fs::exists(presets, error) && fs::exists(shipped_presets, error))
        fs::copy_file(shipped_presets, presets, error);
    return folder;
}

ProgramFolders program_folders([[maybe_unused]] const std::string& program_dir) {
#ifdef LUMIVANE_DATA_DIR
    return {LUMIVANE_DATA_DIR, made_user_settings_folder(LUMIVANE_DATA_DIR "/el_dat.txt")};
#else
    return {program_dir, program_dir};
#endif
}
