#pragma once

#include <cstddef>
#include <string>

namespace pbxsim {

// Bytes to send, in order with the others of the connection.
struct Output
{
    std::string bytes;
    int delayMs = 0;         // wait this long before starting to send them
    bool closeAfter = false; // then close the connection
    std::size_t flood = 0;   // before that, this many bytes of garbage lines, made as they go out
};

} // namespace pbxsim
