#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace corvale {

// A moment on the wall clock and the local zone's offset from UTC at that moment, so that a call
// that ended before a change to summer time still shows the time the operator's clock showed.
struct WallTime
{
    std::chrono::system_clock::time_point at;
    int utcOffset = 0; // seconds east of UTC

    // The moment in the process's time zone (TZ).
    static WallTime local(std::chrono::system_clock::time_point at);
    static WallTime now() { return local(std::chrono::system_clock::now()); }
};

// How a call came to its end, beyond the PBX's hangup cause, which every entry keeps. Where
// several are noted of one call the later in this order tells more and is kept.
enum class Ending
{
    Hangup,      // the PBX's cause says it all
    Answered,    // a queue's member answered; the call went on until it ended
    FromConsole, // the operator ended it here
    Abandoned,   // the caller gave up waiting in a queue
};

// One call that has ended. Text is bytes: the PBX's for the parties, the queue and the member,
// UTF-8 for the PBX's name as the operator gave it.
struct HistoryEntry
{
    WallTime ended;
    std::string fromNumber;
    std::string fromName;
    std::string toNumber;
    std::string toName;
    std::string pbx;
    std::optional<std::int64_t> seconds; // how long it lasted, when known

    int cause = 0;         // the PBX's Q.850 hangup cause; 0 when it gave none
    std::string causeText; // the PBX's own words for it (Cause-txt)

    Ending ending = Ending::Hangup;
    std::string queue;            // Abandoned: the queue it waited in
    std::string member;           // Answered: who answered
    std::int64_t holdSeconds = 0; // Abandoned, Answered: how long it waited
    int position = 0;             // Abandoned: its place in the queue then; 0 when unknown

    // An abandoned caller is one to call back.
    bool abandoned() const { return ending == Ending::Abandoned; }
};

// The calls that ended while the console was connected, oldest first, for this run only:
// nothing is written anywhere. Bounded to the last MaxAge and to MaxEntries, whichever holds
// fewer, on each add and on each prune().
//
// What the queues and the console learn of a call before it ends (who answered it, that the
// caller gave up, that the operator ended it) is noted against the call and taken into its entry
// when it ends.
class History
{
public:
    using Clock = std::function<WallTime()>;

    static constexpr std::size_t MaxEntries = 10000;
    static constexpr std::chrono::hours MaxAge{24};
    // Notes of calls whose end was never seen (their PBX went away) are dropped, oldest first.
    static constexpr std::size_t MaxNotes = 10000;

    // Told of each change, before and after, as a view needs it. Entries are added at the end
    // (index size()) and removed from the start, the oldest first.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void entryAboutToBeAdded() = 0;
        virtual void entryAdded() = 0;
        virtual void entriesAboutToBeRemoved(std::size_t count) = 0;
        virtual void entriesRemoved() = 0;
    };

    explicit History(Clock clock = &WallTime::now);

    void setListener(Listener* listener) { observer = listener; }
    Listener* listener() const { return observer; }

    std::size_t size() const { return entries.size(); }
    const HistoryEntry& at(std::size_t index) const { return entries[index]; }
    WallTime now() const { return clock(); }

    // The call `call` (the PBX's Uniqueid, or its channel where none is known) on `pbx`:
    void noteAnswered(std::string_view pbx, std::string_view call, std::string member,
                      std::int64_t holdSeconds);
    void noteAbandoned(std::string_view pbx, std::string_view call, std::string queue,
                       std::int64_t holdSeconds, int position);
    void noteEndedHere(std::string_view pbx, std::string_view call);
    std::size_t noteCount() const { return notes.size(); }

    // The call has ended: its entry, stamped now, with what was noted of `call` on entry.pbx,
    // after the entries past the bounds have gone.
    void add(HistoryEntry entry, std::string_view call = {});
    // Removes the entries past the bounds; a timer calls it so that they go in a quiet hour too.
    void prune();

private:
    struct Note
    {
        std::uint64_t serial = 0; // which of noteOrder's keys is this note's
        Ending ending = Ending::Hangup;
        std::string queue;
        std::string member;
        std::int64_t holdSeconds = 0;
        int position = 0;
    };
    Note& noteFor(std::string_view pbx, std::string_view call);
    void prune(std::size_t room, std::chrono::system_clock::time_point now);

    Clock clock;
    Listener* observer = nullptr;
    std::deque<HistoryEntry> entries;
    std::unordered_map<std::string, Note> notes; // keyed by PBX, a NUL, and the call
    // The notes' keys, oldest first, with their serials; a key whose note was taken stays until
    // the next compaction.
    std::deque<std::pair<std::uint64_t, std::string>> noteOrder;
    std::uint64_t nextSerial = 1;
};

} // namespace corvale
