#include "QueueTable.h"

#include "Causes.h"

#include <algorithm>

namespace pbxsim {

namespace {

constexpr std::size_t None = static_cast<std::size_t>(-1);

// The PBX's running average: a new figure counts a quarter.
int average(int old, std::int64_t fresh)
{
    return static_cast<int>((3 * static_cast<std::int64_t>(old) + fresh) >> 2);
}

bool available(const QueueMember& member)
{
    return !member.paused && !member.inCall && member.status == DeviceState::NotInUse;
}

} // namespace

QueueTable::QueueTable(CallTable& calls, CallGenerator& callGenerator, Clock unixClock)
    : table(calls)
    , generator(callGenerator)
    , clock(std::move(unixClock))
    , bridgeIds(0x9e3e)
{
    // First, so that a caller has left its queue before any session hears of its hangup.
    table.subscribe(this, true);
}

QueueTable::~QueueTable()
{
    table.unsubscribe(this);
}

void QueueTable::subscribe(Listener* listener)
{
    if (std::find(listeners.begin(), listeners.end(), listener) == listeners.end())
        listeners.push_back(listener);
}

void QueueTable::unsubscribe(Listener* listener)
{
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

void QueueTable::notify(const QueueChange& change)
{
    for (Listener* listener : listeners)
        listener->queueChanged(change);
}

std::size_t QueueTable::indexOf(std::string_view name) const
{
    const std::string wanted = foldCase(name);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (foldCase(all[i].name) == wanted)
            return i;
    }
    return None;
}

const Queue* QueueTable::find(std::string_view name) const
{
    const std::size_t at = indexOf(name);
    return at == None ? nullptr : &all[at];
}

const Queue* QueueTable::queueOf(const Call& caller) const
{
    const auto it = waitingIn.find(caller.uniqueid);
    return it == waitingIn.end() ? nullptr : &all[it->second];
}

QueueMember* QueueTable::memberOf(Queue& queue, std::string_view interface)
{
    for (QueueMember& member : queue.members) {
        if (foldCase(member.interface) == foldCase(interface))
            return &member;
    }
    return nullptr;
}

bool QueueTable::addQueue(Queue queue)
{
    if (indexOf(queue.name) != None)
        return false;
    all.push_back(std::move(queue));
    return true;
}

QueueTable::Result QueueTable::join(std::string_view queue, Call caller, std::int64_t joinedAt)
{
    const std::size_t at = indexOf(queue);
    if (at == None)
        return Result::NoSuchQueue;
    caller.queue = all[at].name;
    const std::string uniqueid = caller.uniqueid;
    if (!table.start(std::move(caller)))
        return Result::ChannelTaken;
    Queue& q = all[at];
    const int position = static_cast<int>(q.callers.size()) + 1;
    q.callers.push_back({uniqueid, joinedAt < 0 ? clock() : joinedAt, position});
    waitingIn[uniqueid] = at;
    QueueChange change{QueueChange::Kind::Joined, q};
    change.caller = table.find(uniqueid);
    change.position = position;
    change.count = position;
    notify(change);
    return Result::Done;
}

void QueueTable::leave(std::size_t queue, std::size_t position, const Call& caller)
{
    Queue& q = all[queue];
    q.callers.erase(q.callers.begin() + static_cast<std::ptrdiff_t>(position));
    waitingIn.erase(caller.uniqueid);
    QueueChange change{QueueChange::Kind::Left, q};
    change.caller = &caller;
    change.position = static_cast<int>(position) + 1;
    change.count = static_cast<int>(q.callers.size());
    notify(change);
}

Call QueueTable::memberChannel(const Queue& queue, const QueueMember& member, const Call& caller)
{
    // "Local/6001@queue-agents/n" rings "Local/6001@queue-agents-0000002a;1", "SIP/2041" rings
    // "SIP/2041-0000002a".
    std::string device = member.interface;
    if (device.size() > 2 && device.compare(device.size() - 2, 2, "/n") == 0)
        device.resize(device.size() - 2);
    const bool local = channelType(device) == "Local";
    Call agent;
    agent.channel = device + '-' + hex8(generator.nextChannelNumber()) + (local ? ";1" : "");
    const std::size_t slash = device.find('/');
    const std::size_t at = device.find('@');
    agent.callerNum = device.substr(slash + 1, at == std::string::npos ? at : at - slash - 1);
    agent.callerName = member.name;
    agent.extension = agent.callerNum;
    agent.context = local && at != std::string::npos ? device.substr(at + 1) : "from-internal";
    agent.uniqueid = generator.nextUniqueid(clock());
    agent.startedAt = clock();
    agent.linkedid = linkedidOf(caller); // the queue dials it on the caller's behalf
    agent.connectedNum = caller.callerNum;
    agent.connectedName = caller.callerName;
    agent.queue = queue.name;
    agent.agent = true;
    return agent;
}

QueueTable::Result QueueTable::answer(std::string_view callerChannel, std::string_view interface)
{
    const Call* found = table.find(callerChannel);
    const auto waitingAt = found == nullptr ? waitingIn.end() : waitingIn.find(found->uniqueid);
    if (waitingAt == waitingIn.end())
        return Result::NoSuchCaller;
    const std::size_t qi = waitingAt->second;
    Queue& q = all[qi];
    QueueMember* member = nullptr;
    if (!interface.empty()) {
        member = memberOf(q, interface);
        if (member == nullptr)
            return Result::NoSuchMember;
        if (!available(*member))
            return Result::MemberBusy;
    } else {
        for (QueueMember& candidate : q.members) {
            if (member == nullptr && available(candidate))
                member = &candidate;
        }
        if (member == nullptr)
            return Result::NoMemberFree;
    }
    const std::string callerId = found->uniqueid;
    const std::string callerName = found->channel;
    const auto position = static_cast<std::size_t>(
        std::find_if(q.callers.begin(), q.callers.end(),
                     [&](const QueueCaller& c) { return c.uniqueid == callerId; }) -
        q.callers.begin());
    const std::int64_t joinedAt = q.callers[position].joinedAt;
    const std::int64_t now = clock();

    Call agent = memberChannel(q, *member, *found);
    const std::string agentId = agent.uniqueid;
    const std::string agentName = agent.channel;
    table.start(std::move(agent));
    QueueChange called{QueueChange::Kind::AgentCalled, q};
    called.member = member;
    called.caller = table.find(callerId);
    called.agent = table.find(agentId);
    notify(called);
    leave(qi, position, *table.find(callerId));

    // The hold time counts in the queue's figures from the moment it is answered.
    q.holdtime = q.completed + q.abandoned == 0 ? static_cast<int>(now - joinedAt)
                                                : average(q.holdtime, now - joinedAt);
    QueueChange connected = called;
    connected.kind = QueueChange::Kind::AgentConnected;
    connected.caller = table.find(callerId);
    connected.agent = table.find(agentId);
    connected.holdTime = now - joinedAt;
    notify(connected);
    table.bridge(callerName, agentName, bridgeUuid(bridgeIds));

    member->inCall = true;
    member->status = DeviceState::InUse;
    QueueChange status{QueueChange::Kind::MemberStatus, q};
    status.member = member;
    notify(status);
    talks[callerId] = {qi, member->interface, agentId, joinedAt, now};
    callerOf[agentId] = callerId;
    return Result::Done;
}

void QueueTable::callChanged(const CallChange& change)
{
    if (change.kind != CallChange::Kind::HungUp)
        return;
    const Call& call = change.call;
    if (const auto it = waitingIn.find(call.uniqueid); it != waitingIn.end()) {
        // The caller gave up before anyone answered.
        const std::size_t qi = it->second;
        Queue& q = all[qi];
        const auto position = static_cast<std::size_t>(
            std::find_if(q.callers.begin(), q.callers.end(),
                         [&](const QueueCaller& c) { return c.uniqueid == call.uniqueid; }) -
            q.callers.begin());
        const QueueCaller& caller = q.callers[position];
        const std::int64_t held = clock() - caller.joinedAt;
        QueueChange abandoned{QueueChange::Kind::Abandoned, q};
        abandoned.caller = &call;
        abandoned.position = static_cast<int>(position) + 1;
        abandoned.originalPosition = caller.originalPosition;
        abandoned.holdTime = held;
        notify(abandoned);
        ++q.abandoned;
        q.abandonedInServiceLevel += held <= q.serviceLevel ? 1 : 0;
        leave(qi, position, call);
        return;
    }
    complete(call, change.peer);
}

void QueueTable::complete(const Call& hungUp, const Call* peer)
{
    std::string callerId = hungUp.uniqueid;
    const char* side = "caller";
    if (const auto it = callerOf.find(hungUp.uniqueid); it != callerOf.end()) {
        callerId = it->second;
        side = "agent";
    }
    const auto talkAt = talks.find(callerId);
    if (talkAt == talks.end())
        return;
    const Talk talk = talkAt->second;
    talks.erase(talkAt);
    callerOf.erase(talk.agent);
    Queue& q = all[talk.queue];
    QueueMember* member = memberOf(q, talk.interface);
    const std::int64_t now = clock();
    const Call* caller = side[0] == 'c' ? &hungUp : peer;
    const Call* agent = side[0] == 'c' ? peer : &hungUp;
    if (member != nullptr && caller != nullptr && agent != nullptr) {
        QueueChange completed{QueueChange::Kind::AgentCompleted, q};
        completed.member = member;
        completed.caller = caller;
        completed.agent = agent;
        completed.holdTime = talk.answeredAt - talk.joinedAt;
        completed.talkTime = now - talk.answeredAt;
        completed.reason = side;
        notify(completed);
    }
    q.talktime = q.completed == 0 ? static_cast<int>(now - talk.answeredAt)
                                  : average(q.talktime, now - talk.answeredAt);
    ++q.completed;
    q.completedInServiceLevel += talk.answeredAt - talk.joinedAt <= q.serviceLevel ? 1 : 0;
    if (member == nullptr)
        return; // removed while it talked
    ++member->callsTaken;
    member->lastCall = now;
    member->inCall = false;
    member->status = DeviceState::NotInUse;
    QueueChange status{QueueChange::Kind::MemberStatus, q};
    status.member = member;
    notify(status);
}

bool QueueTable::pause(std::string_view interface, std::string_view queue, bool paused,
                       std::string_view reason)
{
    bool found = false;
    for (Queue& q : all) {
        if (!queue.empty() && foldCase(q.name) != foldCase(queue))
            continue;
        QueueMember* member = memberOf(q, interface);
        if (member == nullptr)
            continue;
        found = true;
        member->paused = paused;
        if (paused)
            member->lastPause = clock();
        member->pausedReason = paused ? std::string(reason) : std::string();
        QueueChange change{QueueChange::Kind::MemberPaused, q};
        change.member = member;
        change.reason = reason;
        notify(change);
    }
    return found;
}

QueueTable::Result QueueTable::addMember(std::string_view queue, QueueMember member)
{
    const std::size_t at = indexOf(queue);
    if (at == None)
        return Result::NoSuchQueue;
    Queue& q = all[at];
    if (memberOf(q, member.interface) != nullptr)
        return Result::Exists;
    member.dynamic = true;
    member.loginTime = clock();
    q.members.push_back(std::move(member));
    QueueChange change{QueueChange::Kind::MemberAdded, q};
    change.member = &q.members.back();
    notify(change);
    return Result::Done;
}

QueueTable::Result QueueTable::removeMember(std::string_view queue, std::string_view interface)
{
    const std::size_t at = indexOf(queue);
    if (at == None)
        return Result::NoSuchQueue;
    Queue& q = all[at];
    QueueMember* member = memberOf(q, interface);
    if (member == nullptr)
        return Result::NoSuchMember;
    QueueChange change{QueueChange::Kind::MemberRemoved, q};
    change.member = member;
    notify(change);
    q.members.erase(q.members.begin() + (member - q.members.data()));
    return Result::Done;
}

const Call* QueueTable::pickWaiting(std::uint64_t random) const
{
    if (waitingIn.empty())
        return nullptr;
    const std::size_t start = static_cast<std::size_t>(random % all.size());
    for (std::size_t n = 0; n < all.size(); ++n) {
        const Queue& q = all[(start + n) % all.size()];
        if (!q.callers.empty())
            return table.find(q.callers[(random >> 16) % q.callers.size()].uniqueid);
    }
    return nullptr;
}

std::vector<std::string> QueueTable::answeredBefore(std::int64_t when) const
{
    std::vector<std::pair<std::int64_t, std::string>> due;
    for (const auto& [callerId, talk] : talks) {
        if (talk.answeredAt < when)
            due.emplace_back(talk.answeredAt, callerId);
    }
    std::sort(due.begin(), due.end());
    std::vector<std::string> channels;
    for (const auto& [answeredAt, callerId] : due) {
        if (const Call* caller = table.find(callerId))
            channels.push_back(caller->channel);
    }
    return channels;
}

} // namespace pbxsim
