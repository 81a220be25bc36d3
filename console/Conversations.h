#pragma once

#include "LiveCalls.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvale {

struct Conversation;

// One channel of a conversation: a row of the live calls.
struct Leg
{
    const LiveCall* call = nullptr; // stays put while the channel is up, renames included
    Conversation* conversation = nullptr;
    // The keys it is filed under, as they were when last read: the call may already say
    // otherwise when a change is announced.
    std::string channel;
    std::string localHalf; // a Local channel's name without its ";1" / ";2"
    std::string bridgeId;
    std::string bridgedTo;
    std::string linkedid;
};

// The channels that talk to each other: one call as the operator sees it.
struct Conversation
{
    std::uint64_t id = 0;        // never reused; conversations are kept in the order of their ids
    std::vector<Leg*> legs;      // oldest channel first
    mutable bool marked = false; // free for a view (the console marks long calls)
};

// Groups the live calls into conversations and keeps them up to date, one change at a time, from
// the live calls' own announcements. Legs belong together when they share a bridge (a current
// PBX's bridge id; an older PBX's two channels naming each other), when they are the two halves
// of one Local channel, or, while a leg is not bridged, when they share a linked id. A
// conversation is everything these relations join, so caller - Local;1 and Local;2 - agent make
// one conversation of four legs.
//
// A change regroups only the conversation of the leg that changed and those it now reaches, so
// the cost follows the size of a call, not the number of calls.
class Conversations : public LiveCalls::Listener
{
public:
    // Told of each change as it happens, so a view can follow it row by row. Conversations are
    // added at the end; legs at their place by age.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void conversationAboutToBeAdded(std::size_t row) = 0;
        virtual void conversationAdded() = 0;
        virtual void conversationAboutToBeRemoved(std::size_t row) = 0;
        virtual void conversationRemoved() = 0;
        virtual void legAboutToBeAdded(const Conversation& conversation, std::size_t position) = 0;
        virtual void legAdded() = 0;
        virtual void legAboutToBeRemoved(const Conversation& conversation,
                                         std::size_t position) = 0;
        virtual void legRemoved() = 0;
        // What it shows may have changed: a leg's fields, or which legs it has.
        virtual void conversationChanged(const Conversation& conversation) = 0;
        virtual void legChanged(const Conversation& conversation, std::size_t position) = 0;
    };

    // Takes the live calls' listener slot until destroyed.
    explicit Conversations(LiveCalls& calls);
    ~Conversations() override;
    Conversations(const Conversations&) = delete;
    Conversations& operator=(const Conversations&) = delete;

    void setListener(Listener* listener) { observer = listener; }
    const LiveCalls& liveCalls() const { return calls; }

    // Takes in the calls added since the last time (the live calls add rows only at the end and
    // announce them by their size).
    void flush();

    std::size_t size() const { return conversations.size(); }
    const Conversation& at(std::size_t row) const { return *conversations[row]; }
    const Conversation* find(std::uint64_t id) const;
    std::size_t rowOf(const Conversation& conversation) const;
    std::size_t legCount() const { return legs.size(); }
    // The conversation a channel is in; nothing for a channel not (yet) taken in.
    const Conversation* conversationOf(std::string_view channel) const;

    // The name of a Local channel without its half's ";1" / ";2" (",1" / ",2" on PBX 1.4); empty
    // for any other channel.
    static std::string_view localHalfOf(std::string_view channel);

    // LiveCalls::Listener.
    void callsAboutToBeRemoved(std::size_t first, std::size_t last) override;
    void callsRemoved() override;
    void callChanged(std::size_t row) override;

private:
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const
        {
            return std::hash<std::string_view>{}(text);
        }
    };
    using Index = std::unordered_map<std::string, std::vector<Leg*>, Hash, std::equal_to<>>;

    void file(Leg& leg);
    void unfile(Leg& leg);
    static void fileIn(Index& index, const std::string& key, Leg& leg);
    static void unfileFrom(Index& index, const std::string& key, Leg& leg);
    static bool bridged(const Leg& leg) { return !leg.bridgeId.empty() || !leg.bridgedTo.empty(); }
    template <typename Visit> void forEachNeighbour(const Leg& leg, Visit&& visit) const;
    // Regroups the legs reachable from these, and the conversations they were in.
    void regroup(const std::vector<Leg*>& seeds);
    void addLeg(Conversation& conversation, Leg& leg);
    void removeLeg(Leg& leg);
    void removeConversation(Conversation& conversation);
    Conversation& newConversation();

    LiveCalls& calls;
    Listener* observer = nullptr;
    std::vector<std::unique_ptr<Leg>> legs;                   // in the live calls' row order
    std::vector<std::unique_ptr<Conversation>> conversations; // sorted by id
    std::unordered_map<std::uint64_t, Conversation*> byId;
    std::uint64_t nextId = 1;

    std::unordered_map<std::string, Leg*, Hash, std::equal_to<>> byChannel;
    Index byLocalHalf;
    Index byBridge;
    Index byLinkedid;
};

} // namespace corvale
