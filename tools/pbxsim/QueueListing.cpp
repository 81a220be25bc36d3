#include "QueueListing.h"

#include "Fields.h"

#include <algorithm>
#include <cstdio>

namespace pbxsim {

namespace {

std::string number(std::int64_t value)
{
    return std::to_string(value);
}

// "%2.1f" of a share in per cent: "0.0", "66.7", "100.0".
std::string percent(int part, int whole)
{
    char text[16];
    std::snprintf(text, sizeof text, "%2.1f",
                  whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
    return text;
}

std::string_view orBare(std::string_view value)
{
    return value.empty() ? std::string_view("unknown") : value;
}

bool wanted(const Queue& q, std::string_view filter)
{
    return filter.empty() || foldCase(q.name) == foldCase(filter);
}

// The list answer: from 12 on with EventList, before as a plain acknowledgement.
void listStart(std::string& out, std::string_view message, const QueueQuery& query,
               const std::string& id)
{
    field(out, "Response", "Success");
    out += id;
    if (query.style == EventStyle::Current)
        field(out, "EventList", "start");
    field(out, "Message", message);
    out += "\r\n";
}

void listEnd(std::string& out, std::string_view event, std::size_t items, const QueueQuery& query,
             const std::string& id)
{
    field(out, "Event", event);
    out += id;
    if (query.style == EventStyle::Current) {
        field(out, "EventList", "Complete");
        field(out, "ListItems", number(static_cast<std::int64_t>(items)));
    }
    out += "\r\n";
}

void params(std::string& out, const Queue& q, const QueueQuery& query)
{
    const bool current = query.style == EventStyle::Current;
    field(out, "Event", "QueueParams");
    field(out, "Queue", q.name);
    field(out, "Max", "0");
    if (query.style != EventStyle::Pbx14)
        field(out, "Strategy", q.strategy);
    field(out, "Calls", number(static_cast<std::int64_t>(q.callers.size())));
    field(out, "Holdtime", number(q.holdtime));
    if (query.style != EventStyle::Pbx14)
        field(out, "TalkTime", number(q.talktime));
    field(out, "Completed", number(q.completed));
    field(out, "Abandoned", number(q.abandoned));
    field(out, "ServiceLevel", number(q.serviceLevel));
    field(out, "ServicelevelPerf", percent(q.completedInServiceLevel, q.completed));
    if (current)
        field(out, "ServicelevelPerf2",
              percent(q.completedInServiceLevel + q.abandonedInServiceLevel,
                      q.completed + q.abandoned));
    field(out, "Weight", "0");
}

void member(std::string& out, const Queue& q, const QueueMember& m, const QueueQuery& query)
{
    const bool current = query.style == EventStyle::Current;
    const bool pbx11 = query.style == EventStyle::Pbx11;
    field(out, "Event", "QueueMember");
    field(out, "Queue", q.name);
    field(out, "Name", m.name);
    field(out, "Location", m.interface);
    if (current || pbx11)
        field(out, "StateInterface", m.interface);
    field(out, "Membership", m.dynamic ? "dynamic" : "static");
    field(out, "Penalty", number(m.penalty));
    field(out, "CallsTaken", number(m.callsTaken));
    field(out, "LastCall", number(m.lastCall));
    if (current) {
        field(out, "LastPause", number(m.lastPause));
        field(out, "LoginTime", number(m.loginTime));
    }
    if (current || pbx11)
        field(out, current ? "InCall" : "IsInCall", m.inCall ? "1" : "0");
    field(out, "Status", number(m.status));
    field(out, "Paused", m.paused ? "1" : "0");
    if (current) {
        field(out, "PausedReason", m.pausedReason);
        field(out, "Wrapuptime", "0");
    }
}

// Every version writes a waiting caller's names as the caller set them, unescaped.
void entry(std::string& out, const Queue& q, std::size_t position, const Call& caller,
           std::int64_t wait, const QueueQuery& query)
{
    const bool pbx14 = query.style == EventStyle::Pbx14;
    field(out, "Event", "QueueEntry");
    field(out, "Queue", q.name);
    field(out, "Position", number(static_cast<std::int64_t>(position)));
    field(out, "Channel", caller.channel);
    if (!pbx14)
        field(out, "Uniqueid", caller.uniqueid);
    field(out, pbx14 ? "CallerID" : "CallerIDNum", orBare(caller.callerNum));
    field(out, "CallerIDName", orBare(caller.callerName));
    if (!pbx14) {
        field(out, "ConnectedLineNum", orBare(caller.connectedNum));
        field(out, "ConnectedLineName", orBare(caller.connectedName));
    }
    field(out, "Wait", number(wait));
    if (query.style == EventStyle::Current)
        field(out, "Priority", "0");
}

bool memberWanted(const QueueMember& m, const QueueQuery& query)
{
    return query.member.empty() || m.interface == query.member ||
           (query.style == EventStyle::Current && m.name == query.member);
}

} // namespace

std::string queueStatusAnswer(const std::vector<Queue>& queues, const CallTable& calls,
                              const QueueQuery& query)
{
    const std::string id = actionIdLine(query.actionId);
    std::string out;
    listStart(out, "Queue status will follow", query, id);
    std::size_t items = 0;
    const auto end = [&] {
        out += id;
        out += "\r\n";
        ++items;
    };
    for (const Queue& q : queues) {
        if (!wanted(q, query.queue))
            continue;
        params(out, q, query);
        end();
        for (const QueueMember& m : q.members) {
            if (!memberWanted(m, query))
                continue;
            member(out, q, m, query);
            end();
        }
        std::size_t position = 0;
        for (const QueueCaller& waiting : q.callers) {
            ++position;
            const Call* caller = calls.find(waiting.uniqueid);
            if (caller == nullptr)
                continue;
            entry(out, q, position, *caller, query.now - waiting.joinedAt, query);
            end();
        }
    }
    listEnd(out, "QueueStatusComplete", items, query, id);
    return out;
}

std::string queueSummaryAnswer(const std::vector<Queue>& queues, const QueueQuery& query)
{
    const std::string id = actionIdLine(query.actionId);
    std::string out;
    listStart(out, "Queue summary will follow", query, id);
    std::size_t items = 0;
    for (const Queue& q : queues) {
        if (!wanted(q, query.queue))
            continue;
        int loggedIn = 0;
        int available = 0;
        for (const QueueMember& m : q.members) {
            if (m.status == DeviceState::Unavailable)
                continue;
            ++loggedIn;
            available += m.status == DeviceState::NotInUse && !m.paused ? 1 : 0;
        }
        std::int64_t longest = 0;
        for (const QueueCaller& waiting : q.callers)
            longest = std::max(longest, query.now - waiting.joinedAt);
        field(out, "Event", "QueueSummary");
        field(out, "Queue", q.name);
        field(out, "LoggedIn", number(loggedIn));
        field(out, "Available", number(available));
        field(out, "Callers", number(static_cast<std::int64_t>(q.callers.size())));
        field(out, "HoldTime", number(q.holdtime));
        field(out, "TalkTime", number(q.talktime));
        field(out, "LongestHoldTime", number(longest));
        out += id;
        out += "\r\n";
        ++items;
    }
    listEnd(out, "QueueSummaryComplete", items, query, id);
    return out;
}

} // namespace pbxsim
