#pragma once

#include <string>

// One channel to hang up, and the PBX it is on: each PBX names its channels on its own, so two
// PBXs may well each have a channel of the same name.
struct Target
{
    int pbx = 0; // the key its calls were added under
    std::string channel;
    auto operator<=>(const Target&) const = default;
};
