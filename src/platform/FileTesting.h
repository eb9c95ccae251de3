#pragma once

#include <string>

// A seam for tests of the readers: failures a test cannot provoke for real (a denied open when
// running as root).
namespace norvalis::platform::FileTesting {

// Stands in for the system's open(path, flags); returns a descriptor or -1 with errno set.
using OpenFunction = int (*)(const char* path, int flags);
// Replaces the open call; nullptr restores the system's.
void SetOpenFunction(OpenFunction open);

// A FIFO at the UTF-8 path (its reader waits for a writer); false where the system has none
// (Windows), so a test can say it does not apply.
bool MakeFifo(const std::string& path);
// A symbolic link at the UTF-8 path to target; false where none can be made (Windows without
// the right or the file system for it).
bool MakeSymbolicLink(const std::string& target, const std::string& path);

}  // namespace norvalis::platform::FileTesting
