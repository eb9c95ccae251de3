#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace norvalis::platform {

// The folder of a shell folder identifier (a CSIDL number: 0x1A the per-user application
// data, where the settings file lives) on this system, or the empty text when it has none.
// Linux: the XDG counterpart ($XDG_CONFIG_HOME, else ~/.config, for 0x1A).
std::string ShellFolderPath(int csidl);
// The system's own answer for ShellFolderPath, whatever a test put in its place.
std::string SystemShellFolderPath(int csidl);

// Where the program keeps what it writes about its own runs (crash logs): Linux
// $XDG_STATE_HOME, else ~/.local/state; empty when there is no home.
std::string StateFolder();

// The folders the help pages may be in, in the order to look: beside the executable (a build
// tree), then where an installation puts them.
std::vector<std::string> HelpFolders(std::string_view executableFolder);

namespace FoldersTesting {

// Answers ShellFolderPath in place of the system (a test's own settings folder, which Windows
// takes from the shell, not from the environment); nullptr restores the system's.
using ShellFolderFunction = std::string (*)(int csidl);
void SetShellFolderFunction(ShellFolderFunction function);

}  // namespace FoldersTesting

}  // namespace norvalis::platform
