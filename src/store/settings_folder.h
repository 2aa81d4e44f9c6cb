#pragma once

#include <string>

// The folder for the operator's settings (com_no.txt, el_dat.txt) and the comN
// port links. A portable install keeps them beside the program. Where the
// operator may not write there (a system install), a folder of the user's own
// takes them, `lumivane` in XDG_DATA_HOME (by default ~/.local/share), made on
// first use; its el_dat.txt is seeded from the shipped presets while it has
// none. A program folder whose settings files were made writable for the
// operators (a shared install) stays in use. Plain C++, for the panel and the
// simulator alike.
std::string settings_folder(const std::string& program_dir);
// The folder of the user's own: $XDG_DATA_HOME/lumivane, or
// ~/.local/share/lumivane; empty without a home.
std::string user_settings_folder();
