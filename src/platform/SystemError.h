#pragma once

#include <string>

namespace norvalis::platform {

// Failures of this room are reported as the error numbers of <cerrno> (ENOENT, EACCES,
// EISDIR, ENOMEM, ...), whatever the system; ECANCELED when a cancel flag ended the wait.

// The system's own words for an error number, in the user's language where the system has
// them (UTF-8).
std::string SystemErrorText(int error);

}  // namespace norvalis::platform
