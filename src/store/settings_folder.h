#pragma once

#include <string>

// Where a program finds the files it ships (the sound, the shipped presets) and
// where it keeps the operator's settings (com_no.txt, el_dat.txt) and the comN
// port links. Plain C++, for the panel, the simulator and lumivaned alike.
struct ProgramFolders {
    std::string data;
    std::string settings;
};

// How the program was installed decides, never what is writable. The portable
// one-folder install keeps both beside the program. A system install (built
// with LUMIVANE_DATA_DIR, such as /usr/share/lumivane) reads its files from
// there and keeps every user's settings, root's too, in the user's own folder,
// made when missing, its el_dat.txt seeded from the shipped presets while it
// has none.
ProgramFolders program_folders(const std::string& program_dir);

// The folder of the user's own: `lumivane` in XDG_DATA_HOME (by default
// ~/.local/share, the home taken from the user database when HOME is unset);
// empty without a home.
std::string user_settings_folder();

// user_settings_folder(), made when missing, its el_dat.txt seeded from
// shipped_presets while it has none.
std::string made_user_settings_folder(const std::string& shipped_presets);
