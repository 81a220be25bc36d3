#include "Conversations.h"

#include "PbxWords.h"

#include <algorithm>
#include <unordered_set>

namespace corvale {

namespace {

bool olderLeg(const Leg* a, const Leg* b)
{
    return a->call->order < b->call->order;
}

} // namespace

Conversations::Conversations(LiveCalls& liveCalls)
    : calls(liveCalls)
{
    calls.setListener(this);
}

Conversations::~Conversations()
{
    calls.setListener(nullptr);
}

const Conversation* Conversations::find(std::uint64_t id) const
{
    const auto it = byId.find(id);
    return it == byId.end() ? nullptr : it->second;
}

std::size_t Conversations::rowOf(const Conversation& conversation) const
{
    const auto at = std::lower_bound(
        conversations.begin(), conversations.end(), conversation.id,
        [](const std::unique_ptr<Conversation>& c, std::uint64_t id) { return c->id < id; });
    return static_cast<std::size_t>(at - conversations.begin());
}

const Conversation* Conversations::conversationOf(std::string_view channel) const
{
    const auto it = byChannel.find(channel);
    return it == byChannel.end() ? nullptr : it->second->conversation;
}

void Conversations::fileIn(Index& index, const std::string& key, Leg& leg)
{
    if (!key.empty())
        index[key].push_back(&leg);
}

void Conversations::unfileFrom(Index& index, const std::string& key, Leg& leg)
{
    if (key.empty())
        return;
    const auto it = index.find(key);
    if (it == index.end())
        return;
    std::vector<Leg*>& filed = it->second;
    filed.erase(std::remove(filed.begin(), filed.end(), &leg), filed.end());
    if (filed.empty())
        index.erase(it);
}

void Conversations::file(Leg& leg)
{
    const LiveCall& call = *leg.call;
    leg.channel = call.channel;
    leg.localChannel = localChannelOf(call.channel);
    leg.bridgeId = call.bridgeId;
    leg.bridgedTo = call.bridgedTo;
    leg.linkedid = call.linkedid;
    // Two rows never share a channel name in the live calls; the newer filing wins regardless.
    byChannel[leg.channel] = &leg;
    fileIn(byLocalChannel, leg.localChannel, leg);
    fileIn(byBridge, leg.bridgeId, leg);
    fileIn(byLinkedid, leg.linkedid, leg);
}

void Conversations::unfile(Leg& leg)
{
    const auto it = byChannel.find(leg.channel);
    if (it != byChannel.end() && it->second == &leg)
        byChannel.erase(it);
    unfileFrom(byLocalChannel, leg.localChannel, leg);
    unfileFrom(byBridge, leg.bridgeId, leg);
    unfileFrom(byLinkedid, leg.linkedid, leg);
}

template <typename Visit> void Conversations::forEachNeighbour(const Leg& leg, Visit&& visit) const
{
    const auto each = [&](const Index& index, const std::string& key, auto&& accept) {
        if (key.empty())
            return;
        const auto it = index.find(key);
        if (it == index.end())
            return;
        for (Leg* other : it->second)
            if (other != &leg && accept(*other))
                visit(*other);
    };
    const auto any = [](const Leg&) { return true; };
    each(byLocalChannel, leg.localChannel, any);
    each(byBridge, leg.bridgeId, any);
    // A linked id joins a call's legs before they are bridged; once bridged, the bridge says who
    // talks to whom (a transfer leaves legs of other calls with the same linked id).
    const bool legBridged = bridged(leg);
    each(byLinkedid, leg.linkedid,
         [legBridged](const Leg& other) { return !legBridged || !bridged(other); });
    if (!leg.bridgedTo.empty()) {
        const auto it = byChannel.find(leg.bridgedTo);
        if (it != byChannel.end() && it->second != &leg && it->second->bridgedTo == leg.channel)
            visit(*it->second);
    }
}

Conversation& Conversations::newConversation()
{
    auto conversation = std::make_unique<Conversation>();
    conversation->id = nextId++;
    conversation->owner = this;
    Conversation& made = *conversation;
    byId.emplace(made.id, &made);
    conversations.push_back(std::move(conversation));
    return made;
}

void Conversations::addLeg(Conversation& conversation, Leg& leg)
{
    const auto at =
        std::lower_bound(conversation.legs.begin(), conversation.legs.end(), &leg, olderLeg);
    const auto position = static_cast<std::size_t>(at - conversation.legs.begin());
    if (observer != nullptr)
        observer->legAboutToBeAdded(conversation, position);
    conversation.legs.insert(at, &leg);
    leg.conversation = &conversation;
    if (observer != nullptr)
        observer->legAdded();
}

void Conversations::removeConversation(Conversation& conversation)
{
    const std::size_t row = rowOf(conversation);
    if (observer != nullptr)
        observer->conversationAboutToBeRemoved(row);
    for (Leg* leg : conversation.legs)
        leg->conversation = nullptr;
    byId.erase(conversation.id);
    conversations.erase(conversations.begin() + static_cast<std::ptrdiff_t>(row));
    if (observer != nullptr)
        observer->conversationRemoved();
}

void Conversations::removeLeg(Leg& leg)
{
    Conversation* conversation = leg.conversation;
    if (conversation == nullptr)
        return;
    if (conversation->legs.size() == 1) {
        removeConversation(*conversation);
        return;
    }
    const auto at = std::find(conversation->legs.begin(), conversation->legs.end(), &leg);
    if (observer != nullptr)
        observer->legAboutToBeRemoved(*conversation,
                                      static_cast<std::size_t>(at - conversation->legs.begin()));
    conversation->legs.erase(at);
    leg.conversation = nullptr;
    if (observer != nullptr)
        observer->legRemoved();
}

void Conversations::regroup(const std::vector<Leg*>& seeds)
{
    // The legs whose grouping may change: the seeds and their conversations. Whatever else the
    // seeds now reach is a whole conversation already, and joins theirs.
    std::vector<Leg*> region;
    for (Leg* seed : seeds) {
        region.push_back(seed);
        if (seed->conversation != nullptr)
            region.insert(region.end(), seed->conversation->legs.begin(),
                          seed->conversation->legs.end());
    }

    std::unordered_set<Leg*> seen;
    std::vector<std::vector<Leg*>> groups;
    for (Leg* start : region) {
        if (!seen.insert(start).second)
            continue;
        std::vector<Leg*> group{start};
        for (std::size_t next = 0; next < group.size(); ++next)
            forEachNeighbour(*group[next], [&](Leg& other) {
                if (seen.insert(&other).second)
                    group.push_back(&other);
            });
        std::sort(group.begin(), group.end(), olderLeg);
        groups.push_back(std::move(group));
    }

    // Each group keeps the conversation of its oldest leg that no older group has taken, so a
    // call keeps its row while legs come and go; a group with none left gets a new one.
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return olderLeg(a.front(), b.front()); });
    std::unordered_set<const Conversation*> taken;
    std::vector<Conversation*> targets(groups.size(), nullptr);
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (Leg* leg : groups[g])
            if (leg->conversation != nullptr && taken.insert(leg->conversation).second) {
                targets[g] = leg->conversation;
                break;
            }

    std::unordered_set<Conversation*> touched;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        Conversation* target = targets[g];
        if (target == nullptr)
            continue;
        bool moved = false;
        for (Leg* leg : groups[g]) {
            if (leg->conversation == target)
                continue;
            if (leg->conversation != nullptr) {
                Conversation* from = leg->conversation;
                const bool last = from->legs.size() == 1;
                removeLeg(*leg);
                if (!last)
                    touched.insert(from);
                else
                    touched.erase(from);
            }
            addLeg(*target, *leg);
            moved = true;
        }
        if (moved)
            touched.insert(target);
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (targets[g] != nullptr)
            continue;
        for (Leg* leg : groups[g]) {
            if (leg->conversation == nullptr)
                continue;
            Conversation* from = leg->conversation;
            const bool last = from->legs.size() == 1;
            removeLeg(*leg);
            if (!last)
                touched.insert(from);
            else
                touched.erase(from);
        }
        const std::size_t row = conversations.size();
        if (observer != nullptr)
            observer->conversationAboutToBeAdded(row);
        Conversation& made = newConversation();
        made.legs = groups[g];
        for (Leg* leg : made.legs)
            leg->conversation = &made;
        if (observer != nullptr)
            observer->conversationAdded();
    }
    if (observer != nullptr)
        for (const Conversation* conversation : touched)
            observer->conversationChanged(*conversation);
}

void Conversations::flush()
{
    // Every new leg is filed before any is grouped, so legs that arrive together (the two sides
    // of a call in one read) make one conversation at once rather than one that then grows.
    const std::size_t first = legs.size();
    while (legs.size() < calls.size()) {
        auto leg = std::make_unique<Leg>();
        leg->call = &calls.at(legs.size());
        file(*leg);
        legs.push_back(std::move(leg));
    }
    for (std::size_t row = first; row < legs.size(); ++row)
        if (legs[row]->conversation == nullptr)
            regroup({legs[row].get()});
}

void Conversations::callsAboutToBeRemoved(std::size_t first, std::size_t last)
{
    // Calls not yet taken in were never legs.
    if (first >= legs.size())
        return;
    last = std::min(last, legs.size() - 1);
    for (std::size_t row = first; row <= last; ++row) {
        Leg& leg = *legs[row];
        unfile(leg);
        std::vector<Leg*> rest;
        if (leg.conversation != nullptr)
            for (Leg* other : leg.conversation->legs)
                if (other != &leg)
                    rest.push_back(other);
        removeLeg(leg);
        // What is left may fall apart: the leg that goes may have held the others together.
        if (!rest.empty())
            regroup(rest);
    }
    legs.erase(legs.begin() + static_cast<std::ptrdiff_t>(first),
               legs.begin() + static_cast<std::ptrdiff_t>(last) + 1);
}

void Conversations::callsRemoved() {}

void Conversations::callChanged(std::size_t row)
{
    if (row >= legs.size())
        return;
    Leg& leg = *legs[row];
    const LiveCall& call = *leg.call;
    const bool regrouping = leg.channel != call.channel || leg.bridgeId != call.bridgeId ||
                            leg.bridgedTo != call.bridgedTo || leg.linkedid != call.linkedid;
    if (regrouping) {
        unfile(leg);
        file(leg);
        regroup({&leg});
    }
    if (observer != nullptr && leg.conversation != nullptr) {
        const Conversation& conversation = *leg.conversation;
        const auto at = std::find(conversation.legs.begin(), conversation.legs.end(), &leg);
        observer->legChanged(conversation,
                             static_cast<std::size_t>(at - conversation.legs.begin()));
        observer->conversationChanged(conversation);
    }
}

} // namespace corvale
