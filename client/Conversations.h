#pragma once

#include "Conversation.h"
#include "Leg.h"
#include "LiveCalls.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvale {

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
    // added at the end; legs at their place in the order the client first saw them.
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
    Listener* listener() const { return observer; }
    const LiveCalls& liveCalls() const { return calls; }

    // Takes in the calls the live calls have added since the last time; call it after each read
    // of the PBX's bytes. Additions are pulled rather than announced so that the calls of one
    // read are grouped together: every new leg is filed before any is grouped, so the two sides
    // of a call that arrive together make one conversation at once, not one that then grows leg
    // by leg (each step of which moves a sorted view's row), and a listing of 20,000 channels is
    // grouped in one pass. Removals and changes are announced (LiveCalls::Listener), because the
    // rows they name are gone or different afterwards.
    void flush();

    std::size_t size() const { return conversations.size(); }
    const Conversation& at(std::size_t row) const { return *conversations[row]; }
    const Conversation* find(std::uint64_t id) const;
    std::size_t rowOf(const Conversation& conversation) const;
    std::size_t legCount() const { return legs.size(); }
    // The conversation a channel is in; nothing for a channel not (yet) taken in.
    const Conversation* conversationOf(std::string_view channel) const;

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
    Index byLocalChannel;
    Index byBridge;
    Index byLinkedid;
};

} // namespace corvale
