#pragma once

#include "Listing.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pbxsim {

// What happened to a call, for the sessions that report it as events.
struct CallChange
{
    enum class Kind
    {
        Started,     // `call` is new
        CallerId,    // `call` has a new caller number and name
        Extension,   // `call` moved on to another extension
        Renamed,     // `call` was named `oldName`
        Masqueraded, // `original` took over `call` (the clone); both as they were before
        HungUp,      // `call` has ended with `cause`; `byAction` when a manager Hangup asked for
                     // it; with a `peer` it was bridged to it, and the peer's own hangup follows
        Bridged,     // `call` and `peer` are one conversation now, in `call.bridgeId`
        Unbridged    // `call` and `peer` have left their bridge, which is gone; both as they were
    };
    Kind kind;
    const Call& call;
    std::string_view oldName = {};
    const Call* original = nullptr;
    bool byAction = false;
    const Call* peer = nullptr;
    int cause = -1; // -1: as the PBX ends a call when nobody said why (see causeOf)
};

// The cause a hangup is reported with: the one given, else none for a manager Hangup and normal
// clearing for the PBX's own.
int causeOf(const CallChange& change);

// The calls that are up. One table serves every connection, so a hangup on one connection is
// seen by all of them, as on a real PBX. Every change is told to the listeners, which turn it into
// events. Lookups and hangups take constant time, so that thousands of calls can come and go
// every second.
class CallTable
{
public:
    class Listener
    {
    public:
        virtual void callChanged(const CallChange& change) = 0;

    protected:
        ~Listener() = default;
    };

    explicit CallTable(std::vector<Call> initial = {});
    CallTable(const CallTable&) = delete;
    CallTable& operator=(const CallTable&) = delete;

    // Listeners hear of each change in the order they subscribed; with `first`, before all that
    // are there already.
    void subscribe(Listener* listener, bool first = false);
    void unsubscribe(Listener* listener);

    // Every call that is up, in the order the calls started.
    const std::vector<Call>& calls() const;
    std::size_t size() const { return active.size() - nGone; }
    // The call whose channel matches `name` without regard to letter case, or else the one whose
    // unique id equals it; null when there is none.
    const Call* find(std::string_view name) const;
    // Some call that is up, chosen by `random`; null when there is none.
    const Call* pick(std::uint64_t random) const;

    // Each returns false, changing nothing, when a named call does not exist or a new name is
    // already taken.
    bool start(Call call);
    // A bridged peer is hung up by the PBX too, with normal clearing.
    bool hangup(std::string_view name, bool byAction = false, int cause = -1);
    bool setCallerId(std::string_view name, std::string number, std::string callerName);
    bool setExtension(std::string_view name, std::string extension);
    bool rename(std::string_view name, std::string newName);
    // `original` takes over `clone`: the original's name disappears and the clone's name lives on.
    // Older PBX versions keep the original's unique id under the clone's name; current ones keep
    // the clone's (`swapUniqueids`).
    bool masquerade(std::string_view original, std::string_view clone, bool swapUniqueids);
    // Two calls that are up and in no bridge become one conversation in bridge `bridgeId`; both
    // take the older one's linked id, as a PBX links a bridge's channels.
    bool bridge(std::string_view first, std::string_view second, std::string bridgeId);
    // The call's bridge ends; both calls go on, still linked.
    bool unbridge(std::string_view name);

private:
    std::size_t indexOf(std::string_view name) const; // npos when there is none
    void notify(const CallChange& change);
    void remove(std::size_t index);
    void compact() const;
    void leaveBridge(std::size_t at, std::size_t peer);
    void index(std::size_t at) const;

    // Ended calls leave a hole that is closed when the list is next read, or when the holes
    // outnumber half the calls, so that ending a call does not move all the others.
    mutable std::vector<Call> active;
    mutable std::vector<char> gone;
    mutable std::size_t nGone = 0;
    mutable std::unordered_map<std::string, std::size_t> byName; // lower-case channel
    mutable std::unordered_map<std::string, std::size_t> byUniqueid;
    std::vector<Listener*> listeners;
};

// The channel name in lower case, as the table compares names.
std::string foldCase(std::string_view name);

} // namespace pbxsim
