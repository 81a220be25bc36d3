#pragma once

#include "QueueFields.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

namespace corvale {

// Who answered a queue call still up, for the calls view to name as its other party.
struct QueueAnswer
{
    std::string queue;
    std::string memberName;
    std::string interface;
    std::string memberChannel;
    std::string channel; // the caller's; empty where it is not known
    std::string uniqueid;
    std::uint64_t id = 0;
};

// The queue calls answered and not yet ended, by the caller's Uniqueid and channel, and the
// callers that left their queue lately: up to 11 an answer names its caller by Uniqueid alone,
// after the caller has left. Both are bounded, the oldest forgotten first, for ends never heard.
class QueueAnswers
{
public:
    const QueueAnswer* find(std::string_view uniqueid) const;
    const QueueAnswer* findOn(std::string_view channel) const;
    std::string_view uniqueidOn(std::string_view channel) const;
    void remember(const AnsweredCaller& call);
    void forget(std::string_view uniqueid);

    void left(std::string_view uniqueid, std::string_view channel);
    // The channel of a caller that left lately; empty when none is remembered.
    std::string_view channelOf(std::string_view uniqueid) const;

    static constexpr std::size_t RememberedAnswers = 4096;
    static constexpr std::size_t RememberedLeavers = 64;

private:
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const
        {
            return std::hash<std::string_view>{}(text);
        }
    };
    template <typename T> using Index = std::unordered_map<std::string, T, Hash, std::equal_to<>>;

    Index<QueueAnswer> answers; // by the caller's Uniqueid
    Index<std::string> byChannel;
    std::deque<std::pair<std::string, std::uint64_t>> order;
    std::uint64_t nAnswers = 0;
    std::deque<std::pair<std::string, std::string>> leavers; // Uniqueid, channel; oldest first
};

} // namespace corvale
