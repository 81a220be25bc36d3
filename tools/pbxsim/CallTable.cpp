#include "CallTable.h"

#include "Causes.h"

#include <algorithm>
#include <cctype>

namespace pbxsim {

namespace {

constexpr std::size_t None = static_cast<std::size_t>(-1);

} // namespace

std::string foldCase(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

CallTable::CallTable(std::vector<Call> initial)
    : active(std::move(initial))
    , gone(active.size(), 0)
{
    for (std::size_t i = 0; i < active.size(); ++i)
        index(i);
}

int causeOf(const CallChange& change)
{
    if (change.cause >= 0)
        return change.cause;
    return change.byAction ? Cause::Unset : Cause::Normal;
}

void CallTable::subscribe(Listener* listener, bool first)
{
    if (std::find(listeners.begin(), listeners.end(), listener) != listeners.end())
        return;
    listeners.insert(first ? listeners.begin() : listeners.end(), listener);
}

void CallTable::unsubscribe(Listener* listener)
{
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

const std::vector<Call>& CallTable::calls() const
{
    compact();
    return active;
}

const Call* CallTable::find(std::string_view name) const
{
    const std::size_t at = indexOf(name);
    return at == None ? nullptr : &active[at];
}

const Call* CallTable::pick(std::uint64_t random) const
{
    if (size() == 0)
        return nullptr;
    std::size_t at = static_cast<std::size_t>(random % active.size());
    while (gone[at] != 0)
        at = (at + 1) % active.size();
    return &active[at];
}

bool CallTable::start(Call call)
{
    if (byName.count(foldCase(call.channel)) != 0)
        return false;
    active.push_back(std::move(call));
    gone.push_back(0);
    index(active.size() - 1);
    notify({CallChange::Kind::Started, active.back()});
    return true;
}

bool CallTable::hangup(std::string_view name, bool byAction, int cause)
{
    const std::size_t at = indexOf(name);
    if (at == None)
        return false;
    CallChange change{CallChange::Kind::HungUp, active[at]};
    change.byAction = byAction;
    change.cause = cause;
    const std::size_t peer = active[at].bridgedTo.empty() ? None : indexOf(active[at].bridgedTo);
    if (peer == None) {
        notify(change);
        remove(at);
        return true;
    }
    // The bridge of two ends with either: the other side is hung up by the PBX.
    change.peer = &active[peer];
    notify(change);
    leaveBridge(at, peer);
    const std::string other = active[peer].channel;
    remove(at);
    const std::size_t then = indexOf(other); // the removal may have moved it
    notify({CallChange::Kind::HungUp, active[then]});
    remove(then);
    return true;
}

bool CallTable::bridge(std::string_view first, std::string_view second, std::string bridgeId)
{
    const std::size_t a = indexOf(first);
    const std::size_t b = indexOf(second);
    if (a == None || b == None || a == b || !active[a].bridgedTo.empty() ||
        !active[b].bridgedTo.empty())
        return false;
    const std::string linked =
        linkedidOf(active[b].startedAt < active[a].startedAt ? active[b] : active[a]);
    for (const auto& [self, other] : {std::pair{a, b}, std::pair{b, a}}) {
        active[self].linkedid = linked;
        active[self].bridgeId = bridgeId;
        active[self].bridgedTo = active[other].channel;
        active[self].bridgedUniqueid = active[other].uniqueid;
    }
    CallChange change{CallChange::Kind::Bridged, active[a]};
    change.peer = &active[b];
    notify(change);
    return true;
}

bool CallTable::unbridge(std::string_view name)
{
    const std::size_t at = indexOf(name);
    if (at == None || active[at].bridgedTo.empty())
        return false;
    const std::size_t peer = indexOf(active[at].bridgedTo);
    CallChange change{CallChange::Kind::Unbridged, active[at]};
    change.peer = &active[peer];
    notify(change);
    leaveBridge(at, peer);
    return true;
}

void CallTable::leaveBridge(std::size_t at, std::size_t peer)
{
    for (const std::size_t i : {at, peer}) {
        active[i].bridgeId.clear();
        active[i].bridgedTo.clear();
        active[i].bridgedUniqueid.clear();
    }
}

bool CallTable::setCallerId(std::string_view name, std::string number, std::string callerName)
{
    const std::size_t at = indexOf(name);
    if (at == None)
        return false;
    active[at].callerNum = std::move(number);
    active[at].callerName = std::move(callerName);
    notify({CallChange::Kind::CallerId, active[at]});
    return true;
}

bool CallTable::setExtension(std::string_view name, std::string extension)
{
    const std::size_t at = indexOf(name);
    if (at == None)
        return false;
    active[at].extension = std::move(extension);
    notify({CallChange::Kind::Extension, active[at]});
    return true;
}

bool CallTable::rename(std::string_view name, std::string newName)
{
    const std::size_t at = indexOf(name);
    if (at == None || newName.empty())
        return false;
    const std::string newKey = foldCase(newName);
    const auto taken = byName.find(newKey);
    if (taken != byName.end() && taken->second != at)
        return false;
    const std::string oldName = std::move(active[at].channel);
    byName.erase(foldCase(oldName));
    active[at].channel = std::move(newName);
    if (const std::size_t peer =
            active[at].bridgedTo.empty() ? None : indexOf(active[at].bridgedTo);
        peer != None)
        active[peer].bridgedTo = active[at].channel;
    byName[newKey] = at;
    CallChange change{CallChange::Kind::Renamed, active[at]};
    change.oldName = oldName;
    notify(change);
    return true;
}

bool CallTable::masquerade(std::string_view original, std::string_view clone, bool swapUniqueids)
{
    const std::size_t o = indexOf(original);
    const std::size_t c = indexOf(clone);
    if (o == None || c == None || o == c)
        return false;
    // A channel taken over leaves its bridge first; names and ids are about to change.
    unbridge(active[o].channel);
    unbridge(active[c].channel);
    CallChange change{CallChange::Kind::Masqueraded, active[c]};
    change.original = &active[o];
    notify(change);

    // The original's channel goes on, under the clone's name and with the clone's caller; it is
    // still where the original was in the dialplan.
    Call& result = active[c];
    const Call& from = active[o];
    result.context = from.context;
    result.extension = from.extension;
    result.startedAt = from.startedAt;
    if (!swapUniqueids) {
        byUniqueid.erase(result.uniqueid);
        result.uniqueid = from.uniqueid;
    }
    byUniqueid[result.uniqueid] = c;
    remove(o); // last: it may close the holes and move the calls
    return true;
}

std::size_t CallTable::indexOf(std::string_view name) const
{
    if (const auto it = byName.find(foldCase(name)); it != byName.end())
        return it->second;
    if (const auto it = byUniqueid.find(std::string(name)); it != byUniqueid.end())
        return it->second;
    return None;
}

void CallTable::notify(const CallChange& change)
{
    for (Listener* listener : listeners)
        listener->callChanged(change);
}

void CallTable::remove(std::size_t at)
{
    // Only the entries that still point here: a masquerade may have handed the unique id on.
    if (const auto it = byName.find(foldCase(active[at].channel));
        it != byName.end() && it->second == at)
        byName.erase(it);
    if (const auto it = byUniqueid.find(active[at].uniqueid);
        it != byUniqueid.end() && it->second == at)
        byUniqueid.erase(it);
    active[at] = Call{};
    gone[at] = 1;
    ++nGone;
    if (nGone > 64 && nGone > active.size() / 2)
        compact();
}

void CallTable::compact() const
{
    if (nGone == 0)
        return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < active.size(); ++i) {
        if (gone[i] == 0) {
            if (kept != i)
                active[kept] = std::move(active[i]);
            ++kept;
        }
    }
    active.resize(kept);
    gone.assign(kept, 0);
    nGone = 0;
    byName.clear();
    byUniqueid.clear();
    for (std::size_t i = 0; i < active.size(); ++i)
        index(i);
}

void CallTable::index(std::size_t at) const
{
    byName[foldCase(active[at].channel)] = at;
    byUniqueid.emplace(active[at].uniqueid, at);
}

} // namespace pbxsim
