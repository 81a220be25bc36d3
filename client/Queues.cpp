#include "Queues.h"

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

// Heard when no view listens.
Queues::Listener silent;

} // namespace

Queues::Queues(Clock clockSource, WallClock wallSource)
    : clock(std::move(clockSource))
    , wallClock(std::move(wallSource))
    , observer(&silent)
{}

void Queues::setListener(Listener* listener)
{
    observer = listener != nullptr ? listener : &silent;
}

template <typename Row>
void Queues::insertChild(Queue& queue, Child kind, std::vector<std::unique_ptr<Row>>& list,
                         std::size_t index, std::unique_ptr<Row> row)
{
    notified().childAboutToBeAdded(queue, kind, index);
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
    notified().childAdded();
}

template <typename Row>
std::unique_ptr<Row> Queues::takeChild(Queue& queue, Child kind,
                                       std::vector<std::unique_ptr<Row>>& list, std::size_t index)
{
    notified().childAboutToBeRemoved(queue, kind, index);
    auto row = std::move(list[index]);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    notified().childRemoved();
    return row;
}

Queues::~Queues() = default;

std::int64_t Queues::wallSeconds() const
{
    return std::chrono::duration_cast<std::chrono::seconds>(wallClock().time_since_epoch()).count();
}

const Queue* Queues::find(std::string_view name) const
{
    const auto it = byName.find(name);
    return it == byName.end() ? nullptr : it->second;
}

Queue* Queues::findQueue(std::string_view name)
{
    return const_cast<Queue*>(find(name));
}

std::size_t Queues::rowOf(const Queue& queue) const
{
    const auto at = std::lower_bound(
        rows.begin(), rows.end(), queue.order,
        [](const std::unique_ptr<Queue>& row, std::uint64_t order) { return row->order < order; });
    return static_cast<std::size_t>(at - rows.begin());
}

const QueueCaller* Queues::waitingOn(std::string_view channel) const
{
    const auto it = byChannel.find(channel);
    return it == byChannel.end() ? nullptr : it->second;
}

void Queues::stamp(std::uint64_t& listedIn) const
{
    // A listing under way cannot have named what an event describes only now.
    if (bListing)
        listedIn = nListing;
}

void Queues::changed(const Queue& queue)
{
    notified().queueChanged(rowOf(queue));
}

Queue& Queues::queueNamed(std::string_view name)
{
    if (Queue* queue = findQueue(name)) {
        stamp(queue->listedIn);
        return *queue;
    }
    auto queue = std::make_unique<Queue>();
    queue->name = name;
    queue->order = nextOrder++;
    stamp(queue->listedIn);
    Queue& added = *queue;
    notified().queueAboutToBeAdded(rows.size());
    byName.emplace(added.name, &added);
    rows.push_back(std::move(queue));
    notified().queueAdded();
    return added;
}

void Queues::removeQueue(std::size_t row)
{
    Queue& queue = *rows[row];
    notified().queueAboutToBeRemoved(row);
    for (const auto& caller : queue.callers) {
        const auto it = byChannel.find(caller->channel);
        if (it != byChannel.end() && it->second == caller.get())
            byChannel.erase(it);
    }
    byName.erase(queue.name);
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
    notified().queueRemoved();
}

QueueCaller* Queues::callerIn(Queue& queue, std::string_view channel, std::string_view uniqueid)
{
    if (!channel.empty()) {
        const auto it = byChannel.find(channel);
        return it != byChannel.end() && it->second->queue == &queue ? it->second : nullptr;
    }
    return queue.callerWithUniqueid(uniqueid);
}

QueueCaller& Queues::placeCaller(Queue& queue, const CallerFields& fields, bool join)
{
    // A channel waits in one queue at a time: found in another, it moved without a word.
    if (const auto it = byChannel.find(fields.channel); it != byChannel.end()) {
        Queue& earlier = *findQueue(it->second->queue->name);
        removeCaller(earlier, earlier.indexOf(*it->second), true);
        changed(earlier);
    }
    auto caller = std::make_unique<QueueCaller>();
    caller->queue = &queue;
    caller->channel = fields.channel;
    caller->since = clock();
    caller->describe(fields, clock());
    stamp(caller->listedIn);
    const std::size_t count = queue.callers.size();
    std::size_t index = count;
    if (fields.position > 0 && join) {
        // The PBX puts a joining caller at its position and numbers those behind it on.
        index = std::min<std::size_t>(fields.position - 1, count);
    } else if (fields.position > 0) {
        index = queue.placeOf(fields.position);
    }
    caller->position =
        join || fields.position == 0 ? static_cast<unsigned>(index + 1) : fields.position;
    QueueCaller& placed = *caller;
    byChannel.insert_or_assign(placed.channel, &placed);
    insertChild(queue, Child::Caller, queue.callers, index, std::move(caller));
    if (join)
        renumber(queue);
    return placed;
}

void Queues::removeCaller(Queue& queue, std::size_t index, bool renumbering)
{
    const auto it = byChannel.find(queue.callers[index]->channel);
    if (it != byChannel.end() && it->second == queue.callers[index].get())
        byChannel.erase(it);
    takeChild(queue, Child::Caller, queue.callers, index);
    if (renumbering)
        renumber(queue);
}

void Queues::renumber(Queue& queue)
{
    // As the PBX does whenever a caller comes or goes: 1, 2, 3 ... in the order they wait.
    for (std::size_t index = 0; index < queue.callers.size(); ++index)
        if (assign(queue.callers[index]->position, static_cast<unsigned>(index + 1)))
            notified().childChanged(queue, Child::Caller, index);
}

void Queues::applyMember(Queue& queue, const MemberFields& fields, bool listing)
{
    const std::size_t index = queue.memberIndex(fields.interface);
    if (index == queue.members.size()) {
        auto fresh = std::make_unique<QueueMember>();
        fresh->queue = &queue;
        fresh->interface = fields.interface;
        fresh->apply(fields, listing, 0);
        fresh->listedIn = listing ? nListing : 0;
        stamp(fresh->listedIn);
        insertChild(queue, Child::Member, queue.members, index, std::move(fresh));
        changed(queue);
        return;
    }
    QueueMember& member = *queue.members[index];
    const MemberState stateBefore = member.state();
    const bool loggedInBefore = member.loggedIn();
    // An older PBX gives no time of a pause: it happens as the event says so.
    if (member.apply(fields, listing, listing ? 0 : wallSeconds()))
        notified().childChanged(queue, Child::Member, index);
    if (listing)
        member.listedIn = nListing;
    else
        stamp(member.listedIn);
    if (member.state() != stateBefore || member.loggedIn() != loggedInBefore)
        changed(queue);
}

void Queues::removeMember(Queue& queue, std::size_t index)
{
    takeChild(queue, Child::Member, queue.members, index);
}

void Queues::listingStarted(QueueListing kind, std::string_view onlyQueue)
{
    // A listing that never completed (its end was lost) is simply left behind.
    ++nListing;
    bListing = true;
    bDamaged = false;
    listingKind = kind;
    sOnlyQueue.assign(onlyQueue);
}

void Queues::listedQueue(const QueueFields& fields)
{
    if (fields.name.empty())
        return;
    Queue& queue = queueNamed(fields.name);
    queue.listedIn = nListing;
    if (queue.apply(fields))
        changed(queue);
}

void Queues::listedCaller(const CallerFields& given)
{
    if (given.queue.empty() || given.channel.empty())
        return;
    Queue& queue = queueNamed(given.queue);
    // What a record leaves out no longer holds.
    CallerFields fields = given;
    fields.number = given.number.value_or(std::string_view());
    fields.name = given.name.value_or(std::string_view());
    fields.wait = given.wait.value_or(0);
    QueueCaller* caller = callerIn(queue, fields.channel, {});
    if (caller == nullptr) {
        placeCaller(queue, fields, false).listedIn = nListing;
        changed(queue);
        return;
    }
    caller->listedIn = nListing;
    std::size_t index = queue.indexOf(*caller);
    const bool moved = fields.position > 0 && assign(caller->position, fields.position);
    const bool change = caller->describe(fields, clock());
    const auto& callers = queue.callers;
    const bool outOfOrder =
        (index > 0 && callers[index - 1]->position > caller->position) ||
        (index + 1 < callers.size() && callers[index + 1]->position < caller->position);
    if (outOfOrder) {
        // Taken out and put back at its place: the view has no moves, only rows that come and go.
        auto held = takeChild(queue, Child::Caller, queue.callers, index);
        index = queue.placeOf(held->position);
        insertChild(queue, Child::Caller, queue.callers, index, std::move(held));
    } else if (moved || change) {
        notified().childChanged(queue, Child::Caller, index);
    }
}

void Queues::listedMember(const MemberFields& fields)
{
    if (fields.queue.empty() || fields.interface.empty())
        return;
    applyMember(queueNamed(fields.queue), fields, true);
}

void Queues::listingComplete(QueueListing kind)
{
    if (!bListing || kind != listingKind)
        return;
    bListing = false;
    if (!bDamaged) {
        // From the end, so that each row announced is the row as it stands.
        for (std::size_t row = rows.size(); row-- > 0;) {
            Queue& queue = *rows[row];
            if (!sOnlyQueue.empty() && queue.name != sOnlyQueue)
                continue;
            if (queue.listedIn != nListing) {
                removeQueue(row);
                continue;
            }
            if (kind != QueueListing::Status)
                continue;
            bool change = false;
            for (std::size_t index = queue.callers.size(); index-- > 0;) {
                if (queue.callers[index]->listedIn != nListing) {
                    removeCaller(queue, index, false);
                    change = true;
                }
            }
            for (std::size_t index = queue.members.size(); index-- > 0;) {
                if (queue.members[index]->listedIn != nListing) {
                    removeMember(queue, index);
                    change = true;
                }
            }
            if (change)
                changed(queue);
        }
    }
    if (kind == QueueListing::Status)
        ++nCompleted;
}

void Queues::callerJoined(const CallerFields& fields)
{
    if (fields.queue.empty() || fields.channel.empty())
        return;
    Queue& queue = queueNamed(fields.queue);
    if (QueueCaller* caller = callerIn(queue, fields.channel, {})) {
        stamp(caller->listedIn);
        if (caller->describe(fields, clock()))
            notified().childChanged(queue, Child::Caller, queue.indexOf(*caller));
        return;
    }
    placeCaller(queue, fields, true);
    changed(queue);
}

void Queues::callerLeft(std::string_view queueName, std::string_view channel,
                        std::string_view uniqueid)
{
    Queue* queue = findQueue(queueName);
    QueueCaller* caller = queue != nullptr ? callerIn(*queue, channel, uniqueid) : nullptr;
    if (caller == nullptr)
        return;
    const std::string_view who = caller->uniqueid.empty() ? uniqueid : caller->uniqueid;
    answers.left(who, caller->channel);
    stopRinging(*queue, who);
    removeCaller(*queue, queue->indexOf(*caller), true);
    changed(*queue);
}

void Queues::callerAbandoned(const AbandonedCaller& given)
{
    if (given.queue.empty())
        return;
    Queue& queue = queueNamed(given.queue);
    ++queue.abandoned;
    // The caller leaves with the Leave that follows; until then it still tells who it was.
    AbandonedCaller told = given;
    if (const QueueCaller* caller = callerIn(queue, given.channel, given.uniqueid)) {
        told.channel = caller->channel;
        if (told.uniqueid.empty())
            told.uniqueid = caller->uniqueid;
        if (told.number.empty())
            told.number = caller->number;
        if (told.name.empty())
            told.name = caller->name;
    }
    notified().callerAbandoned(told);
    changed(queue);
}

void Queues::memberUpdated(const MemberFields& fields)
{
    if (fields.queue.empty() || fields.interface.empty())
        return;
    applyMember(queueNamed(fields.queue), fields, false);
}

void Queues::memberRemoved(std::string_view queueName, std::string_view interface)
{
    Queue* queue = findQueue(queueName);
    const std::size_t index = queue != nullptr ? queue->memberIndex(interface) : 0;
    if (queue == nullptr || index == queue->members.size())
        return;
    removeMember(*queue, index);
    changed(*queue);
}

void Queues::memberRung(std::string_view queueName, std::string_view interface,
                        std::string_view callerUniqueid, bool ringing)
{
    Queue* queue = findQueue(queueName);
    if (queue != nullptr && queue->memberIndex(interface) < queue->members.size())
        setRinging(*queue, queue->memberIndex(interface), ringing, callerUniqueid);
}

void Queues::setRinging(Queue& queue, std::size_t index, bool ringing, std::string_view uniqueid)
{
    QueueMember& member = *queue.members[index];
    const MemberState before = member.state();
    member.rungFor.assign(ringing ? uniqueid : std::string_view());
    if (!assign(member.ringing, ringing))
        return;
    notified().childChanged(queue, Child::Member, index);
    if (member.state() != before)
        changed(queue);
}

void Queues::stopRinging(Queue& queue, std::string_view uniqueid)
{
    // Ringing every member at once, the PBX stops the others without a word when one answers.
    if (uniqueid.empty())
        return;
    for (std::size_t index = 0; index < queue.members.size(); ++index)
        if (queue.members[index]->ringing && queue.members[index]->rungFor == uniqueid)
            setRinging(queue, index, false, {});
}

void Queues::callerAnswered(const AnsweredCaller& given)
{
    if (given.queue.empty())
        return;
    Queue& queue = queueNamed(given.queue);
    AnsweredCaller call = given;
    std::string channel(given.channel);
    // Answered, the caller waits no more, whether or not its Leave was heard.
    if (QueueCaller* caller = callerIn(queue, given.channel, given.uniqueid)) {
        channel = caller->channel;
        answers.left(caller->uniqueid, caller->channel);
        removeCaller(queue, queue.indexOf(*caller), true);
        changed(queue);
    } else if (channel.empty()) {
        channel = answers.channelOf(given.uniqueid);
    }
    call.channel = channel;
    answers.remember(call);
    stopRinging(queue, given.uniqueid);
    if (const std::size_t index = queue.memberIndex(given.interface);
        index < queue.members.size()) {
        QueueMember* member = queue.members[index].get();
        setRinging(queue, index, false, {});
        const MemberState before = member->state();
        if (assign(member->inCall, true))
            notified().childChanged(queue, Child::Member, index);
        if (member->state() != before)
            changed(queue);
    }
    notified().callerAnswered(call);
}

void Queues::callCompleted(const AnsweredCaller& call, bool countCall)
{
    if (call.queue.empty())
        return;
    Queue& queue = queueNamed(call.queue);
    ++queue.completed;
    answers.forget(call.uniqueid.empty() ? answers.uniqueidOn(call.channel) : call.uniqueid);
    if (const std::size_t index = queue.memberIndex(call.interface); index < queue.members.size()) {
        QueueMember* member = queue.members[index].get();
        setRinging(queue, index, false, {});
        bool change = assign(member->inCall, false);
        if (countCall) {
            ++member->callsTaken;
            member->lastCall = wallSeconds();
            change = true;
        }
        if (change)
            notified().childChanged(queue, Child::Member, index);
    }
    changed(queue);
}

} // namespace corvale
