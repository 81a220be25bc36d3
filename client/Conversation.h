#pragma once

#include <cstdint>
#include <vector>

namespace corvale {

class Conversations;
struct Leg;

// The channels that talk to each other: one call as the operator sees it.
struct Conversation
{
    std::uint64_t id = 0; // never reused; conversations are kept in the order of their ids
    const Conversations* owner = nullptr; // the grouping it belongs to (a view shows several)
    std::vector<Leg*> legs;               // in the order the client first saw them
    mutable bool marked = false;          // free for a view (the console marks long calls)
};

} // namespace corvale
