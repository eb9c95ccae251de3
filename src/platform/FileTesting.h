#pragma once

// A seam for tests of the readers: failures a test cannot provoke for real (a denied open when
// running as root).
namespace norvalis::platform::FileTesting {

// Stands in for the system's open(path, flags); returns a descriptor or -1 with errno set.
using OpenFunction = int (*)(const char* path, int flags);
// Replaces the open call; nullptr restores the system's.
void SetOpenFunction(OpenFunction open);

}  // namespace norvalis::platform::FileTesting
