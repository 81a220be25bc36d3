#include "LiveCalls.h"

#include "Wire.h"

#include <algorithm>

namespace corvale {

LiveCalls::LiveCalls(const std::locale& numbers, Clock clockSource)
    : duration(numbers)
    , clock(std::move(clockSource))
{}

LiveCalls::~LiveCalls() = default;

LiveCall* LiveCalls::find(std::string_view channel)
{
    const auto it = byChannel.find(channel);
    return it == byChannel.end() ? nullptr : &it->second;
}

std::optional<std::size_t> LiveCalls::rowOf(std::string_view channel) const
{
    const auto it = byChannel.find(channel);
    if (it == byChannel.end())
        return std::nullopt;
    return rowOf(it->second);
}

std::size_t LiveCalls::rowOf(const LiveCall& call) const
{
    const auto at = std::lower_bound(
        rows.begin(), rows.end(), call.order,
        [](const LiveCall* row, std::uint64_t order) { return row->order < order; });
    return static_cast<std::size_t>(at - rows.begin());
}

EntryParts LiveCalls::appendEntry(std::size_t row, std::chrono::steady_clock::time_point now,
                                  std::string& out) const
{
    const LiveCall& call = *rows[row];
    const EntryParts parts =
        appendEntryStart(out, call.channel, call.number, call.name, call.extension);
    bool shown = false;
    if (call.seconds) {
        // Whole seconds, as the PBX counts them, so that the next listing does not move the
        // minutes back.
        const auto elapsed = std::chrono::floor<std::chrono::seconds>(now - call.since).count();
        shown = duration.appendMinutesOf(
            *call.seconds + static_cast<double>(std::max<decltype(elapsed)>(elapsed, 0)), out);
    }
    if (!shown)
        out += UnknownMinutes;
    out += EntryEnd;
    return parts;
}

std::string LiveCalls::entry(std::size_t row) const
{
    std::string out;
    appendEntry(row, clock(), out);
    return out;
}

LiveCall& LiveCalls::add(std::string_view channel)
{
    const auto [it, fresh] = byChannel.try_emplace(std::string(channel));
    LiveCall& call = it->second;
    call.channel = channel;
    call.seconds = 0.0;
    call.since = clock();
    call.order = nextOrder++;
    stamp(call);
    rows.push_back(&call);
    gone.erase(call.channel);
    return call;
}

bool LiveCalls::update(LiveCall& call, const CallFields& fields)
{
    bool change = false;
    const auto set = [&change](std::string& field, const std::optional<std::string_view>& value) {
        if (value && field != *value) {
            field.assign(*value);
            change = true;
        }
    };
    set(call.number, fields.number);
    set(call.name, fields.name);
    set(call.extension, fields.extension);
    set(call.linkedid, fields.linkedid);
    set(call.bridgeId, fields.bridgeId);
    set(call.bridgedTo, fields.bridgedTo);
    set(call.state, fields.state);
    set(call.application, fields.application);
    return change;
}

void LiveCalls::changed(const LiveCall& call)
{
    if (observer != nullptr)
        observer->callChanged(rowOf(call));
}

void LiveCalls::stamp(LiveCall& call) const
{
    // A listing under way cannot have named a channel that an event describes only now.
    if (bListing)
        call.listedIn = nListing;
}

void LiveCalls::identify(LiveCall& call, std::string_view uniqueid)
{
    // Not shown, so not a change of the entry.
    if (!uniqueid.empty())
        call.uniqueid.assign(uniqueid);
}

void LiveCalls::appeared(std::string_view channel, const CallFields& fields,
                         std::string_view uniqueid)
{
    // A second Newchannel for a known name (a repeat, or one sent just before a listing that
    // already named it) changes what it says and nothing else.
    if (LiveCall* call = find(channel)) {
        stamp(*call);
        identify(*call, uniqueid);
        if (update(*call, fields))
            changed(*call);
        return;
    }
    LiveCall& call = add(channel);
    identify(call, uniqueid);
    update(call, fields);
}

void LiveCalls::described(std::string_view channel, const CallFields& fields,
                          std::string_view uniqueid)
{
    if (LiveCall* call = find(channel)) {
        stamp(*call);
        identify(*call, uniqueid);
        if (update(*call, fields))
            changed(*call);
        return;
    }
    // A channel can exist without a Newchannel having been seen (one that started before the
    // login, or one the PBX never announces); an event for it says it exists.
    if (recentlyGone(channel))
        return;
    LiveCall& call = add(channel);
    identify(call, uniqueid);
    update(call, fields);
}

void LiveCalls::renamed(std::string_view oldName, std::string_view newName)
{
    if (oldName.empty() || newName.empty() || oldName == newName)
        return;
    LiveCall* call = find(oldName);
    if (call == nullptr) {
        if (!recentlyGone(oldName) && find(newName) == nullptr && !recentlyGone(newName))
            add(newName);
        return;
    }
    // Only one channel can carry a name: a call still listed under the new one has gone.
    if (LiveCall* holder = find(newName)) {
        const std::size_t row = rowOf(*holder);
        removeRows(row, row);
    }
    auto node = byChannel.extract(byChannel.find(oldName));
    node.key() = std::string(newName);
    node.mapped().channel = newName;
    LiveCall& moved = byChannel.insert(std::move(node)).position->second;
    forget(oldName);
    gone.erase(moved.channel);
    stamp(moved);
    changed(moved);
}

void LiveCalls::hungUp(std::string_view channel, std::optional<int> cause,
                       std::string_view causeText)
{
    if (LiveCall* call = find(channel)) {
        call->hangupCause = cause;
        call->hangupCauseText.assign(causeText);
        const std::size_t row = rowOf(*call);
        removeRows(row, row);
        return;
    }
    forget(channel);
}

void LiveCalls::leftBridge(std::string_view channel, std::string_view bridgeId)
{
    LiveCall* call = find(channel);
    if (call == nullptr || call->bridgeId != bridgeId)
        return;
    call->bridgeId.clear();
    changed(*call);
}

void LiveCalls::linked(std::string_view first, std::string_view second)
{
    if (first.empty() || second.empty() || first == second)
        return;
    // An event for a channel says it exists, as for any other event.
    CallFields fields;
    fields.bridgedTo = second;
    described(first, fields);
    fields.bridgedTo = first;
    described(second, fields);
}

void LiveCalls::unlinked(std::string_view first, std::string_view second)
{
    // Only a link between these two ends: either may have been linked elsewhere since.
    const auto drop = [this](std::string_view channel, std::string_view peer) {
        LiveCall* call = find(channel);
        if (call == nullptr || call->bridgedTo != peer)
            return;
        call->bridgedTo.clear();
        changed(*call);
    };
    drop(first, second);
    drop(second, first);
}

void LiveCalls::removeRows(std::size_t first, std::size_t last)
{
    if (observer != nullptr)
        observer->callsAboutToBeRemoved(first, last);
    for (std::size_t row = first; row <= last; ++row) {
        const auto it = byChannel.find(rows[row]->channel);
        forget(it->first);
        byChannel.erase(it);
    }
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(first),
               rows.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    if (observer != nullptr)
        observer->callsRemoved();
}

void LiveCalls::forget(std::string_view channel)
{
    const std::uint64_t id = ++nGone;
    std::string name(channel);
    gone.insert_or_assign(name, id);
    goneOrder.emplace_back(std::move(name), id);
    if (goneOrder.size() > RememberedHangups) {
        const auto& [oldest, oldestId] = goneOrder.front();
        const auto it = gone.find(oldest);
        if (it != gone.end() && it->second == oldestId)
            gone.erase(it);
        goneOrder.pop_front();
    }
}

bool LiveCalls::recentlyGone(std::string_view channel) const
{
    return gone.find(channel) != gone.end();
}

void LiveCalls::listingStarted()
{
    // A listing that never completed (its end was lost) is simply left behind.
    ++nListing;
    bListing = true;
}

void LiveCalls::listedCall(std::string_view channel, std::string_view number, std::string_view name,
                           std::string_view extension, std::string_view seconds,
                           std::string_view uniqueid)
{
    CallFields fields;
    fields.number = number;
    fields.name = name;
    fields.extension = extension;
    listedCall(channel, fields, seconds, uniqueid);
}

void LiveCalls::listedCall(std::string_view channel, const CallFields& given,
                           std::string_view seconds, std::string_view uniqueid)
{
    if (!bListing)
        listingStarted();
    // A listing says all there is: what a record leaves out no longer holds.
    CallFields fields = given;
    for (auto* field : {&fields.number, &fields.name, &fields.extension, &fields.linkedid,
                        &fields.bridgeId, &fields.bridgedTo, &fields.state, &fields.application})
        if (!*field)
            *field = std::string_view();
    const std::optional<double> listedSeconds = duration.readSeconds(seconds);
    LiveCall* call = find(channel);
    bool change = false;
    if (call == nullptr) {
        call = &add(channel);
        update(*call, fields);
    } else {
        // The minutes themselves are shown afresh every second; a duration that becomes known
        // or unknown changes the entry now.
        change = update(*call, fields) || !call->seconds != !listedSeconds;
    }
    identify(*call, uniqueid);
    call->listedIn = nListing;
    call->seconds = listedSeconds;
    call->since = clock();
    if (change)
        changed(*call);
}

void LiveCalls::listingComplete(bool trusted)
{
    if (!bListing)
        listingStarted(); // an empty listing names nobody
    if (trusted) {
        // Remove every run of calls the listing did not name, from the end, so that the rows
        // announced are the rows as they stand.
        std::size_t row = rows.size();
        while (row > 0) {
            if (rows[row - 1]->listedIn == nListing) {
                --row;
                continue;
            }
            const std::size_t last = row - 1;
            while (row > 0 && rows[row - 1]->listedIn != nListing)
                --row;
            removeRows(row, last);
        }
    }
    bListing = false;
    ++nCompleted;
}

} // namespace corvale
