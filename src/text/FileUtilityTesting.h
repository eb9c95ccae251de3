#pragma once

#include <cstddef>
#include <cstdint>

#include "text/UnicodeString.h"

// Seams for tests of the file readers: failures that a test cannot provoke for real (a
// denied open when running as root, a buffer that cannot be allocated).
namespace norvalis::TFileUtility::Testing {

// Stands in for ::open(path, flags); returns a descriptor or -1 with errno set.
using OpenFunction = int (*)(const char* path, int flags);
// Stands in for sizing the result buffer to size zero bytes; may throw std::bad_alloc.
using ResizeFunction = void (*)(AnsiString& buffer, std::size_t size);

// Replaces the open call; nullptr restores ::open.
void SetOpenFunction(OpenFunction open);
// Replaces the buffer sizing; nullptr restores the real allocation.
void SetResizeFunction(ResizeFunction resize);
// Stands in for taking hold of a file's size bytes (by mapping); may throw std::bad_alloc.
using HoldFunction = void (*)(std::uint64_t size);
// Replaces the hold; nullptr restores the real one, which does nothing.
void SetHoldFunction(HoldFunction hold);
// Called by the file holder before it maps size bytes.
void HoldBytes(std::uint64_t size);
// How many bytes LoadFileToUnicodeString reads at a time (at least the detection window at
// first); 0 restores the default.
void SetPieceBytes(std::size_t bytes);

}  // namespace norvalis::TFileUtility::Testing
