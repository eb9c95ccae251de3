#pragma once

#include <span>
#include <string>

namespace norvalis::cli {

// Runs norvalis-check with its arguments (UTF-8, without the program's name): the exit code.
int Run(std::span<const std::string> args);

}  // namespace norvalis::cli
