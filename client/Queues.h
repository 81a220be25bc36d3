#pragma once

#include "Queue.h"
#include "QueueAnswers.h"
#include "QueueFields.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvale {

// The queues of one PBX connection, their waiting callers and their members, updated by the
// PBX's queue events (see QueueBlock for which is which) and by complete listings. Plain C++: a
// view shows it through a Listener that hears of every row that comes, changes or goes.
class Queues
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    // The rows of a queue in a tree: its callers by position, then its members.
    enum class Child
    {
        Caller,
        Member
    };

    // Told of each change, one row at a time, before a row comes or goes and after, so that a
    // view keeps its selection and expansion; each does nothing unless overridden. The last two
    // are for the history.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void queueAboutToBeAdded(std::size_t /*row*/) {}
        virtual void queueAdded() {}
        virtual void queueAboutToBeRemoved(std::size_t /*row*/) {}
        virtual void queueRemoved() {}
        // Its figures, or the counts of its callers and members, may have changed.
        virtual void queueChanged(std::size_t /*row*/) {}
        virtual void childAboutToBeAdded(const Queue&, Child, std::size_t /*index*/) {}
        virtual void childAdded() {}
        virtual void childAboutToBeRemoved(const Queue&, Child, std::size_t /*index*/) {}
        virtual void childRemoved() {}
        virtual void childChanged(const Queue&, Child, std::size_t /*index*/) {}
        virtual void callerAbandoned(const AbandonedCaller&) {}
        virtual void callerAnswered(const AnsweredCaller&) {}
    };

    explicit Queues(Clock clock = &std::chrono::steady_clock::now,
                    WallClock wallClock = &std::chrono::system_clock::now);
    ~Queues();
    Queues(const Queues&) = delete;
    Queues& operator=(const Queues&) = delete;

    // Null: no view listens.
    void setListener(Listener* listener);

    std::size_t size() const { return rows.size(); }
    const Queue& at(std::size_t row) const { return *rows[row]; }
    const Queue* find(std::string_view name) const;
    std::size_t rowOf(const Queue& queue) const;
    // A listing of the queues' detail has completed: until then an empty set means "not known".
    bool listed() const { return nCompleted > 0; }
    std::chrono::steady_clock::time_point now() const { return clock(); }
    // The desk's time in Unix seconds, to read the PBX's times against.
    std::int64_t wallSeconds() const;

    // The caller waiting on this channel, in whichever queue.
    const QueueCaller* waitingOn(std::string_view channel) const;
    // Who answered the queue call of this caller channel, or of this Uniqueid, while it is up.
    const QueueAnswer* answerOn(std::string_view channel) const { return answers.findOn(channel); }
    const QueueAnswer* answerFor(std::string_view uniqueid) const { return answers.find(uniqueid); }

    // A listing: its records one by one, then its end. A complete listing is the truth at its
    // moment for the queues it covers (all, or the one it asked for): a QueueStatus listing
    // removes the queues, callers and members it did not name, a QueueSummary the queues.
    void listingStarted(QueueListing kind, std::string_view onlyQueue = {});
    void listedQueue(const QueueFields& fields); // QueueParams or QueueSummary
    void listedCaller(const CallerFields& fields);
    void listedMember(const MemberFields& fields);
    void listingComplete(QueueListing kind);
    // Some of the records were lost: the listing still adds and updates, but removes nothing.
    void listingDamaged() { bDamaged = true; }
    // The listing under way will never complete (its connection is gone).
    void listingAbandoned() { bListing = false; }
    bool listingOpen() const { return bListing; }
    // Counts the changes told to the listener, whether one listens or not.
    std::uint64_t changes() const { return nChanges; }

    // Events. A queue or member that an event describes exists from then on.
    void callerJoined(const CallerFields& fields);
    void callerLeft(std::string_view queue, std::string_view channel, std::string_view uniqueid);
    void callerAbandoned(const AbandonedCaller& caller);
    void memberUpdated(const MemberFields& fields);
    void memberRemoved(std::string_view queue, std::string_view interface);
    // Rung for the caller with this Uniqueid, or no longer; a caller that leaves or is answered
    // stops the ringing of every member rung for it.
    void memberRung(std::string_view queue, std::string_view interface,
                    std::string_view callerUniqueid, bool ringing);
    void callerAnswered(const AnsweredCaller& call);
    // `countCall`: the event is the only news of the call taken (no member status follows).
    void callCompleted(const AnsweredCaller& call, bool countCall);

private:
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const
        {
            return std::hash<std::string_view>{}(text);
        }
    };
    template <typename T> using Index = std::unordered_map<std::string, T, Hash, std::equal_to<>>;

    Queue* findQueue(std::string_view name);
    Queue& queueNamed(std::string_view name);
    void removeQueue(std::size_t row);
    void changed(const Queue& queue);
    template <typename Row>
    void insertChild(Queue& queue, Child kind, std::vector<std::unique_ptr<Row>>& list,
                     std::size_t index, std::unique_ptr<Row> row);
    template <typename Row>
    std::unique_ptr<Row> takeChild(Queue& queue, Child kind,
                                   std::vector<std::unique_ptr<Row>>& list, std::size_t index);
    QueueCaller* callerIn(Queue& queue, std::string_view channel, std::string_view uniqueid);
    QueueCaller& placeCaller(Queue& queue, const CallerFields& fields, bool join);
    void removeCaller(Queue& queue, std::size_t index, bool renumbering);
    void renumber(Queue& queue);
    void applyMember(Queue& queue, const MemberFields& fields, bool listing);
    void removeMember(Queue& queue, std::size_t index);
    void setRinging(Queue& queue, std::size_t index, bool ringing, std::string_view uniqueid);
    void stopRinging(Queue& queue, std::string_view uniqueid);
    void stamp(std::uint64_t& listedIn) const;
    Listener& notified()
    {
        ++nChanges;
        return *observer;
    }

    Clock clock;
    WallClock wallClock;
    Listener* observer; // never null
    std::uint64_t nChanges = 0;

    std::vector<std::unique_ptr<Queue>> rows; // sorted by Queue::order
    Index<Queue*> byName;
    Index<QueueCaller*> byChannel;
    std::uint64_t nextOrder = 1;

    std::uint64_t nListing = 0;
    std::uint64_t nCompleted = 0;
    bool bListing = false;
    bool bDamaged = false;
    QueueListing listingKind = QueueListing::Status;
    std::string sOnlyQueue;

    QueueAnswers answers;
};

} // namespace corvale
