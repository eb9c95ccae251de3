#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace norvalis::platform {

// UTF-8 text to standard output and standard error, as it is (Windows: shown right in a console
// whatever its code page).
void WriteStandardOutput(std::string_view text);
void WriteStandardError(std::string_view text);

// The file name every reader of this platform takes as standard input.
std::string StandardInputName();

// The program's arguments as UTF-8, without its own name (Windows: from the wide command line,
// so no name is lost to a code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace norvalis::platform
