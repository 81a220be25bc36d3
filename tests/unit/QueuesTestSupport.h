#pragma once

#include "LineFramer.h"
#include "QueueBlock.h"
#include "Queues.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One block as the PBX framed it: its "Key: value" fields in order, up to its empty line.
using Fields = std::vector<std::pair<std::string, std::string>>;

// Cuts a recording into blocks; lines without a colon (the greeting) belong to none.
inline std::vector<Fields> blocksOf(std::string_view bytes)
{
    std::vector<Fields> blocks;
    Fields open;
    corvale::LineFramer framer;
    framer.feed(bytes, [&](std::string_view line) {
        const auto colon = line.find(':');
        if (line.empty()) {
            if (!open.empty())
                blocks.push_back(std::exchange(open, {}));
        } else if (colon != std::string_view::npos) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ')
                value.remove_prefix(1);
            open.emplace_back(line.substr(0, colon), value);
        }
        return true;
    });
    return blocks;
}

// Feeds one event block to the reader, as the client will: its name, its fields, its end.
inline void feed(corvale::QueueBlock& reader, corvale::Queues& queues, const Fields& block,
                 bool escapedNames)
{
    reader.open(block.front().second);
    for (std::size_t i = 1; i < block.size(); ++i)
        reader.field(block[i].first, block[i].second);
    reader.close(queues, escapedNames);
}

inline const char* stateName(corvale::MemberState state)
{
    using corvale::MemberState;
    switch (state) {
    case MemberState::Free:
        return "free";
    case MemberState::Ringing:
        return "ringing";
    case MemberState::OnCall:
        return "on a call";
    case MemberState::Paused:
        return "paused";
    case MemberState::Unavailable:
        return "unavailable";
    }
    return "?";
}

// The set as lines a test can compare: each queue with its figures, then its callers and its
// members.
inline std::vector<std::string> dump(const corvale::Queues& queues)
{
    std::vector<std::string> out;
    char line[400];
    const auto now = queues.now();
    for (std::size_t row = 0; row < queues.size(); ++row) {
        const corvale::Queue& q = queues.at(row);
        const corvale::MemberCounts n = q.counts();
        std::snprintf(line, sizeof line,
                      "%s: %zu waiting, longest %llds; %u done, %u gave up; hold %us talk %us; "
                      "level %us %.1f%%; %zu in, %zu free, %zu ringing, %zu on a call, %zu paused",
                      q.name.c_str(), q.callers.size(), static_cast<long long>(q.longestWait(now)),
                      q.completed, q.abandoned, q.holdTime, q.talkTime, q.serviceLevel,
                      q.serviceLevelPerf.value_or(-1), n.loggedIn, n.free, n.ringing, n.onCall,
                      n.paused);
        out.emplace_back(line);
        for (const auto& c : q.callers) {
            std::snprintf(line, sizeof line, "  %u %s %s %s <%s> %llds", c->position,
                          c->channel.c_str(), c->uniqueid.c_str(), c->number.c_str(),
                          c->name.c_str(), static_cast<long long>(c->waitSeconds(now)));
            out.emplace_back(line);
        }
        for (const auto& m : q.members) {
            std::snprintf(line, sizeof line, "  %s %s %s%s%s, %u calls", m->name.c_str(),
                          m->interface.c_str(), stateName(m->state()),
                          m->pausedReason.empty() ? "" : " ", m->pausedReason.c_str(),
                          m->callsTaken);
            out.emplace_back(line);
        }
    }
    return out;
}
