#pragma once

namespace norvalis::platform {

// The lower case of a UTF-16 unit by the system's Unicode tables, whatever the user's locale;
// surrogate halves and units without one as they are.
char16_t LowerCase(char16_t c);

}  // namespace norvalis::platform
