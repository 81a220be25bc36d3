#pragma once

#include "Listing.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace simtest {

// When the recordings' calls were listed.
constexpr std::int64_t Now = 1796751512;

// One leg of a recorded call: ;1 is the agent, ;2 carries the caller.
inline pbxsim::Call leg(int ext, int leg, unsigned counter, const std::string& name,
                        const std::string& id, std::int64_t age)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", counter);
    const std::string e = std::to_string(ext);
    pbxsim::Call call;
    call.channel = "Local/" + e + "@calls-" + hex + ";" + std::to_string(leg);
    call.callerNum = leg == 1 ? "800" + e : "5550" + e;
    call.callerName = leg == 1 ? "Agent " + e : name;
    call.extension = e;
    call.context = leg == 1 ? "agents" : "calls";
    call.uniqueid = id;
    call.startedAt = Now - age;
    return call;
}

inline std::vector<pbxsim::Call> recordedCalls()
{
    std::string longName = "LongName300-";
    for (int i = 0; i < 8; ++i)
        longName += "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::vector<std::string> names = {"Alice Normal",  "Authentication failed",
                                            "Event: Status", "Uniqueid: 99",
                                            "Zoë Müller",    longName};
    // Ext, leg and unique id suffix, in the order the PBX listed them.
    const int order[12][3] = {{101, 1, 0}, {101, 2, 1}, {106, 2, 11}, {106, 1, 10},
                              {102, 2, 3}, {102, 1, 2}, {103, 1, 4},  {103, 2, 5},
                              {104, 2, 7}, {104, 1, 6}, {105, 1, 8},  {105, 2, 9}};
    std::vector<pbxsim::Call> calls;
    for (const auto& [ext, legNo, id] : order)
        calls.push_back(leg(ext, legNo, static_cast<unsigned>(ext - 101),
                            names[static_cast<std::size_t>(ext - 101)],
                            "1796751510." + std::to_string(id), 2));
    return calls;
}

} // namespace simtest
