#pragma once

#include "Wire.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace corvale {

// Without live calls: the channels of the listing under way, and whether it is complete, which
// decides whether a hangup that waited its turn still has its call.
class ListedEntries
{
public:
    void clear()
    {
        nEntries = 0;
        channels.clear();
        bComplete = false;
    }
    void add(std::string_view entry, const EntryParts& parts)
    {
        ++nEntries;
        if (entry != NoCallsEntry)
            channels.emplace(entry.substr(0, parts[0]));
    }
    void complete() { bComplete = true; }
    std::size_t count() const { return nEntries; }
    // Whether the complete listing names the channel; nothing while it is still coming.
    std::optional<bool> names(const std::string& channel) const
    {
        if (!bComplete)
            return std::nullopt;
        return channels.count(channel) > 0;
    }

private:
    std::size_t nEntries = 0;
    std::unordered_set<std::string> channels;
    bool bComplete = false;
};

} // namespace corvale
