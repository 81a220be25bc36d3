#pragma once

#include "FieldLexing.h"

#include <string_view>

namespace corvale {

// Takes the genuine records of a guarded listing from a ListingGuard: the client's own listing
// of channels (Status, CoreShowChannels), and whatever reads a queue listing (QueueStatus,
// QueueSummary) the same way.
class ListingReader
{
public:
    virtual ~ListingReader() = default;
    // A genuine record begins; `event` is its Event line's value.
    virtual void recordBegins(std::string_view event) = 0;
    // Each of its lines but the Event line and the empty line.
    virtual void recordField(Key which, std::string_view key, std::string_view value) = 0;
    // The record is over: whole, or `cut` short by an empty line inside a field the PBX sends
    // raw, so that only what it said before that field is its own.
    virtual void recordEnds(bool cut) = 0;
    // The listing's genuine end: every record it had has been handed on.
    virtual void listingEnds() = 0;
};

} // namespace corvale
