#include "Queue.h"

#include <algorithm>

namespace corvale {

namespace {

template <typename Field, typename Value> bool assign(Field& field, const Value& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

// Device states of a member on a call: in use, busy, ringing while in use, on hold.
bool onCallStatus(int status)
{
    return status == 2 || status == 3 || status == 7 || status == 8;
}

} // namespace

std::int64_t QueueCaller::waitSeconds(std::chrono::steady_clock::time_point now) const
{
    // Whole seconds, as the PBX counts them, so that the next listing does not move it back.
    const auto elapsed = std::chrono::floor<std::chrono::seconds>(now - since).count();
    return static_cast<std::int64_t>(waited) + std::max<std::int64_t>(elapsed, 0);
}

bool QueueCaller::describe(const CallerFields& fields, std::chrono::steady_clock::time_point now)
{
    bool change = false;
    if (!fields.uniqueid.empty())
        change |= assign(uniqueid, fields.uniqueid);
    if (fields.number)
        change |= assign(number, *fields.number);
    if (fields.name)
        change |= assign(name, *fields.name);
    if (fields.wait) {
        // The wait ticks on from here; a view redraws it every second anyway.
        waited = *fields.wait;
        since = now;
    }
    return change;
}

MemberState QueueMember::state() const
{
    if (inCall || onCallStatus(status))
        return MemberState::OnCall;
    if (ringing || status == 6)
        return MemberState::Ringing;
    if (paused)
        return MemberState::Paused;
    if (!loggedIn())
        return MemberState::Unavailable;
    return MemberState::Free;
}

bool QueueMember::apply(const MemberFields& fields, bool listing, std::int64_t pauseStarts)
{
    const bool pausedBefore = paused;
    bool change = false;
    if (fields.name)
        change |= assign(name, *fields.name);
    // A listing says all there is of a member's calls and device; a reason and the time of a
    // pause are kept where its generation does not list them.
    if (fields.status || listing)
        change |= assign(status, fields.status.value_or(0));
    if (fields.inCall || listing)
        change |= assign(inCall, fields.inCall.value_or(false));
    if (fields.callsTaken || listing)
        change |= assign(callsTaken, fields.callsTaken.value_or(0));
    if (fields.lastCall || listing)
        change |= assign(lastCall, fields.lastCall.value_or(0));
    if (fields.paused || listing)
        change |= assign(paused, fields.paused.value_or(false));
    if (listing) {
        change |= assign(ringing, false);
        rungFor.clear();
    }
    if (fields.pausedAt)
        change |= assign(pausedAt, *fields.pausedAt);
    else if (pauseStarts != 0 && paused && !pausedBefore)
        change |= assign(pausedAt, pauseStarts);
    if (!paused)
        change |= assign(pausedReason, std::string_view());
    else if (fields.pausedReason)
        change |= assign(pausedReason, *fields.pausedReason);
    return change;
}

bool Queue::apply(const QueueFields& fields)
{
    bool change = false;
    const auto set = [&change](auto& field, const auto& value) {
        if (value)
            change |= assign(field, *value);
    };
    set(completed, fields.completed);
    set(abandoned, fields.abandoned);
    set(holdTime, fields.holdTime);
    set(talkTime, fields.talkTime);
    set(serviceLevel, fields.serviceLevel);
    if (fields.serviceLevelPerf)
        change |= assign(serviceLevelPerf, fields.serviceLevelPerf);
    if (fields.serviceLevelPerf2)
        change |= assign(serviceLevelPerf2, fields.serviceLevelPerf2);
    return change;
}

std::size_t Queue::indexOf(const QueueCaller& caller) const
{
    const auto at = std::find_if(callers.begin(), callers.end(),
                                 [&caller](const auto& each) { return each.get() == &caller; });
    return static_cast<std::size_t>(at - callers.begin());
}

QueueCaller* Queue::callerWithUniqueid(std::string_view uniqueid) const
{
    if (uniqueid.empty())
        return nullptr;
    for (const auto& caller : callers)
        if (caller->uniqueid == uniqueid)
            return caller.get();
    return nullptr;
}

std::size_t Queue::placeOf(unsigned position) const
{
    const auto at =
        std::lower_bound(callers.begin(), callers.end(), position,
                         [](const auto& each, unsigned p) { return each->position < p; });
    return static_cast<std::size_t>(at - callers.begin());
}

std::size_t Queue::memberIndex(std::string_view interface) const
{
    std::size_t index = 0;
    while (index < members.size() && members[index]->interface != interface)
        ++index;
    return index;
}

MemberCounts Queue::counts() const
{
    MemberCounts out;
    for (const auto& member : members) {
        if (member->loggedIn())
            ++out.loggedIn;
        switch (member->state()) {
        case MemberState::Free:
            ++out.free;
            break;
        case MemberState::Ringing:
            ++out.ringing;
            break;
        case MemberState::OnCall:
            ++out.onCall;
            break;
        case MemberState::Paused:
            ++out.paused;
            break;
        case MemberState::Unavailable:
            ++out.unavailable;
            break;
        }
    }
    return out;
}

std::int64_t Queue::longestWait(std::chrono::steady_clock::time_point now) const
{
    std::int64_t longest = 0;
    for (const auto& caller : callers)
        longest = std::max(longest, caller->waitSeconds(now));
    return longest;
}

} // namespace corvale
