#pragma once

#include <string>

namespace lignado {

// Where the wizard's settings file lives: "lignado.ini" beside the program for a build tree or a
// portable copy (a writable folder that is not an installed one); for an installed program,
// even one that could write beside itself (as root), $XDG_CONFIG_HOME/lignado/lignado.ini
// (~/.config when the variable is unset or not absolute).
std::string SettingsFilePath(const std::string& exeDir);

// The program runs from where installed programs live: a system folder (/usr, /bin, /sbin,
// /opt, /snap, /app, /nix and below, symlinks resolved) or PREFIX/bin of a tree that
// holds PREFIX/share/lignado (what an install into any prefix makes, ~/.local included).
bool InstalledProgramFolder(const std::string& exeDir);

// The program keeps its files (settings, templates first) beside itself.
bool KeepsFilesBeside(const std::string& exeDir);

}  // namespace lignado
