#pragma once

#include "CallGenerator.h"
#include "CallTable.h"
#include "Queue.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pbxsim {

// The PBX's queues: their members, the callers waiting in them and the calls members answered.
// A caller's channel lives in the call table like any other; a caller that hangs up while it
// waits has abandoned, and either side hanging up ends an answered call, whoever asked for it (a
// client's Hangup, a command, the churn). Every change is told to the listeners, which turn it
// into events, before the sessions hear of the channel's hangup, as the PBX tells it.
class QueueTable : private CallTable::Listener
{
public:
    class Listener
    {
    public:
        virtual void queueChanged(const QueueChange& change) = 0;

    protected:
        ~Listener() = default;
    };
    using Clock = std::function<std::int64_t()>; // unix seconds

    QueueTable(CallTable& calls, CallGenerator& generator, Clock clock);
    ~QueueTable();
    QueueTable(const QueueTable&) = delete;
    QueueTable& operator=(const QueueTable&) = delete;

    void subscribe(Listener* listener);
    void unsubscribe(Listener* listener);

    // In the order they were configured.
    const std::vector<Queue>& queues() const { return all; }
    // The queue of that name, letter case aside; null when there is none.
    const Queue* find(std::string_view name) const;
    std::size_t waiting() const { return waitingIn.size(); }
    std::size_t answered() const { return talks.size(); }
    // The queue a waiting caller's channel waits in; null when it waits in none.
    const Queue* queueOf(const Call& caller) const;

    // Configuration, told to nobody: a queue (false if the name is taken) and its members.
    bool addQueue(Queue queue);

    enum class Result
    {
        Done,
        NoSuchQueue,
        NoSuchCaller, // not a channel waiting in a queue
        NoSuchMember,
        MemberBusy,   // paused, or on a call already
        NoMemberFree, // nobody in the queue could answer
        Exists,
        ChannelTaken
    };
    // The caller's channel starts (its events first) and joins the end of the queue, at
    // `joinedAt` (unix seconds; -1: now).
    Result join(std::string_view queue, Call caller, std::int64_t joinedAt = -1);
    // The member with `interface` in the caller's queue answers, or the first free one: the
    // queue rings a channel of the member's, which is bridged to the caller.
    Result answer(std::string_view callerChannel, std::string_view interface = {});
    // In the named queue or, without one, in every queue the interface is a member of. False
    // when it is a member of none of them.
    bool pause(std::string_view interface, std::string_view queue, bool paused,
               std::string_view reason);
    Result addMember(std::string_view queue, QueueMember member);
    Result removeMember(std::string_view queue, std::string_view interface);

    // For the churn: some waiting caller's channel, and the answered calls that began before
    // `when`, oldest first (their callers' channels).
    const Call* pickWaiting(std::uint64_t random) const;
    std::vector<std::string> answeredBefore(std::int64_t when) const;

private:
    struct Talk
    {
        std::size_t queue;
        std::string interface;
        std::string agent; // the member's channel's unique id
        std::int64_t joinedAt;
        std::int64_t answeredAt;
    };

    void callChanged(const CallChange& change) override;
    void notify(const QueueChange& change);
    std::size_t indexOf(std::string_view name) const; // npos when there is none
    QueueMember* memberOf(Queue& queue, std::string_view interface);
    // Takes the caller out of its queue and tells who waits now.
    void leave(std::size_t queue, std::size_t position, const Call& caller);
    void complete(const Call& hungUp, const Call* peer);
    Call memberChannel(const Queue& queue, const QueueMember& member, const Call& caller);

    CallTable& table;
    CallGenerator& generator;
    Clock clock;
    Rng bridgeIds;
    std::vector<Queue> all;
    std::unordered_map<std::string, std::size_t> waitingIn; // caller's unique id -> queue
    std::unordered_map<std::string, Talk> talks;            // caller's unique id -> its call
    std::unordered_map<std::string, std::string> callerOf;  // member channel's id -> caller's
    std::vector<Listener*> listeners;
};

} // namespace pbxsim
