#pragma once

#include <sys/stat.h>

#include "platform/FileStatus.h"

// Internal to the Linux implementations of this room.
namespace norvalis::platform {

FileStatus StatusOf(const struct stat& info);

}  // namespace norvalis::platform
