#pragma once

#include "Listing.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace pbxsim {

// The calls that are up. One table serves every connection, so a hangup on one connection is
// seen by all of them, as on a real PBX.
class CallTable
{
public:
    explicit CallTable(std::vector<Call> initial = {});

    const std::vector<Call>& calls() const { return active; }
    // Ends the call whose channel matches `name` without regard to letter case, or else the one
    // whose unique id equals it. Returns false when there is none.
    bool hangup(std::string_view name);

private:
    std::vector<Call> active;
};

} // namespace pbxsim
