#pragma once

#include <string_view>

#include "text/UnicodeString.h"

namespace norvalis {

// Replaces the file at path by bytes, all or nothing: the bytes go to a temporary file in the
// same folder, are synced and renamed over the target, so a failed or interrupted save leaves
// the old file whole. A symbolic link is followed and its target replaced. Raises EFCreateError
// for path when any step fails; the temporary file is removed then.
void WriteFileAtomically(const UnicodeString& path, std::string_view bytes);

}  // namespace norvalis
