#pragma once

#include "Listing.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pbxsim {

// A manager user as manager.conf defines one, reading and writing the same classes.
struct ManagerUser
{
    std::string name;
    std::string secret;
    unsigned classes = 0; // EventClass bits
};

// How the PBX side of one connection behaves, faults included.
struct SessionOptions
{
    std::string user = "admin"; // may read and do everything
    std::string secret;
    std::vector<ManagerUser> moreUsers; // with the classes they are given
    Dialect dialect = Dialect::Legacy;
    std::string greetingVersion = "1.1";
    bool refuseLogin = false;          // every login is refused
    bool closeOnRefuse = false;        // answer a refused login at once instead of after the delay
    int refuseDelayMs = 1000;          // a real PBX waits about a second before it says no
    std::size_t floodAfterRefuse = 0;  // bytes of garbage lines sent after a refusal, then close
    bool closeAfterLogin = false;      // close right after accepting the login
    std::size_t longLine = 0;          // bytes of garbage line sent before each Status answer
    bool noHangupAnswer = false;       // a hangup still ends the call but is never answered
    std::size_t unansweredHangups = 0; // the same, for only the first this many hangups
    bool challengeError = false;       // every Challenge is answered with an error
    std::int64_t bootTime = 0;         // unix seconds the PBX came up, for FullyBooted's Uptime
    bool fixedClock = false;           // time stands still (--clock): Ping's Timestamp too
};

} // namespace pbxsim
