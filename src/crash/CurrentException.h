#pragma once

#include <cstddef>

namespace norvalis::crash {

// The type and text of the exception being handled ("std::terminate" when there is none), written
// into buffer for the report of an exception nothing caught; called from std::terminate's handler.
void DescribeCurrentException(char* buffer, std::size_t size);

}  // namespace norvalis::crash
