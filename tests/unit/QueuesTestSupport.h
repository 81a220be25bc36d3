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

// One block as the PBX writes it, from its fields set apart by '|'.
inline std::string block(std::string_view fields)
{
    std::string out;
    for (const char c : fields)
        out += c == '|' ? std::string_view("\r\n") : std::string_view(&c, 1);
    return out + "\r\n\r\n";
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
    static const char* const names[] = {"free", "ringing", "on a call", "paused", "unavailable"};
    return names[static_cast<int>(state)];
}

// Each queue on a line: completed/abandoned | its callers | its members.
inline std::vector<std::string> shape(const corvale::Queues& queues)
{
    std::vector<std::string> out;
    for (std::size_t row = 0; row < queues.size(); ++row) {
        const corvale::Queue& q = queues.at(row);
        std::string line =
            q.name + " " + std::to_string(q.completed) + "/" + std::to_string(q.abandoned) + " |";
        for (const auto& c : q.callers)
            line += (&c == &q.callers.front() ? " " : ", ") + std::to_string(c->position) + " " +
                    c->channel + " " + c->number + " <" + c->name + "> " +
                    std::to_string(c->waitSeconds(queues.now())) + "s";
        line += " |";
        for (const auto& m : q.members) {
            line += (&m == &q.members.front() ? " " : ", ") + m->interface +
                    (m->name.empty() ? "" : " ") + m->name + " " + stateName(m->state()) +
                    (m->pausedReason.empty() ? "" : " ") + m->pausedReason;
            if (m->paused)
                line += "@" + std::to_string(m->pausedAt);
            line += " " + std::to_string(m->callsTaken);
        }
        out.push_back(line);
    }
    return out;
}

// Writes down each announcement with the rows as they stand at that moment, as a view sees them,
// and the history it is told.
class Recorder : public corvale::Queues::Listener
{
public:
    using Child = corvale::Queues::Child;
    explicit Recorder(const corvale::Queues& observed)
        : queues(observed)
    {}

    void queueAboutToBeAdded(std::size_t row) override { note("add queue", row); }
    void queueAboutToBeRemoved(std::size_t row) override
    {
        note("remove queue", row, queues.at(row).name);
    }
    void queueChanged(std::size_t row) override { note("change queue", row); }
    void childAboutToBeAdded(const corvale::Queue& q, Child kind, std::size_t at) override
    {
        note(kind == Child::Caller ? "add caller" : "add member", at, q.name);
    }
    void childAboutToBeRemoved(const corvale::Queue& q, Child kind, std::size_t at) override
    {
        note(kind == Child::Caller ? "remove caller" : "remove member", at,
             kind == Child::Caller ? q.callers[at]->channel : q.members[at]->interface);
    }
    void childChanged(const corvale::Queue& q, Child kind, std::size_t at) override
    {
        note(kind == Child::Caller ? "change caller" : "change member", at, q.name);
    }
    void callerAbandoned(const corvale::AbandonedCaller& c) override
    {
        history.push_back("abandoned " + std::string(c.queue) + " " + std::to_string(c.position) +
                          "/" + std::to_string(c.originalPosition) + " " +
                          std::to_string(c.holdTime) + "s " + std::string(c.number) + " <" +
                          std::string(c.name) + "> " + std::string(c.channel));
    }
    void callerAnswered(const corvale::AnsweredCaller& c) override
    {
        history.push_back("answered " + std::string(c.queue) + " by " + std::string(c.memberName) +
                          " on " + std::string(c.memberChannel) + " " + std::to_string(c.holdTime) +
                          "s " + std::string(c.channel));
    }

    std::vector<std::string> log;
    std::vector<std::string> history;

private:
    void note(const char* what, std::size_t at, const std::string& name = {})
    {
        log.push_back(std::string(what) + " " + std::to_string(at) + (name.empty() ? "" : " ") +
                      name);
    }
    const corvale::Queues& queues;
};
