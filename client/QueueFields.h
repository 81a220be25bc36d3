#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace corvale {

// What the queue listings and events say, as the reader hands it to the queues. Views valid
// during the call only.

enum class QueueListing
{
    Status,
    Summary
};

// What a record or event says of a queue; a figure it did not carry is left alone.
struct QueueFields
{
    std::string_view name;
    std::optional<std::uint32_t> completed{};
    std::optional<std::uint32_t> abandoned{};
    std::optional<std::uint32_t> holdTime{};
    std::optional<std::uint32_t> talkTime{};
    std::optional<std::uint32_t> serviceLevel{};
    std::optional<double> serviceLevelPerf{};
    std::optional<double> serviceLevelPerf2{};
};

struct CallerFields
{
    std::string_view queue;
    std::string_view channel;
    std::string_view uniqueid{};
    std::optional<std::string_view> number{};
    std::optional<std::string_view> name{};
    unsigned position = 0;               // 0: behind the others
    std::optional<std::uint32_t> wait{}; // listings only
};

struct MemberFields
{
    std::string_view queue;
    std::string_view interface;
    std::optional<std::string_view> name{};
    std::optional<int> status{};
    std::optional<bool> paused{};
    std::optional<std::string_view> pausedReason{};
    std::optional<std::int64_t> pausedAt{};
    std::optional<bool> inCall{};
    std::optional<std::uint32_t> callsTaken{};
    std::optional<std::int64_t> lastCall{};
};

// A caller who gave up. Views valid during the call only; what the event left out is filled in
// from the caller as it was known.
struct AbandonedCaller
{
    std::string_view queue;
    std::string_view channel;
    std::string_view uniqueid;
    std::string_view number;
    std::string_view name;
    unsigned position = 0;
    unsigned originalPosition = 0;
    std::uint32_t holdTime = 0;
};

// A caller a member answered (AgentConnect), or whose call with it ended (AgentComplete).
struct AnsweredCaller
{
    std::string_view queue;
    std::string_view channel; // the caller's; empty where neither event nor memory gave it
    std::string_view uniqueid;
    std::string_view memberName;
    std::string_view interface;
    std::string_view memberChannel;
    std::uint32_t holdTime = 0;
};

} // namespace corvale
