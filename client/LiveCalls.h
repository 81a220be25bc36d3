#pragma once

#include "CallFields.h"
#include "DurationFormat.h"
#include "Wire.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <locale>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvale {

// One call as the list shows it. Text is the bytes of the wire; a caller name is already
// unescaped.
struct LiveCall
{
    std::string channel;
    std::string number;
    std::string name;
    std::string extension;
    // The PBX's name for this very call: a channel name can pass to a new call once the old one
    // has ended, its Uniqueid cannot. Empty while no record or event has given it.
    std::string uniqueid;
    // The duration: the PBX's Seconds at the last listing (0 for a channel first seen in an
    // event), counted from `since`; nothing when the listing gave no number.
    std::optional<double> seconds;
    std::chrono::steady_clock::time_point since;

    // Where the call stands in a conversation. A current PBX ties channels by Linkedid and by
    // the bridge they are in; an older one names the channel each is bridged (linked) to.
    std::string linkedid;
    std::string bridgeId;
    std::string bridgedTo;
    std::string state;       // the state as text: "Up", "Ringing", ...
    std::string application; // the dialplan application it runs, when the PBX said

    // How the call ended, from its Hangup event (the PBX's cause code and its words for it): set
    // just before the call is removed, so a listener reads them in callsAboutToBeRemoved. No
    // cause for a call removed because a listing no longer named it.
    std::optional<int> hangupCause;
    std::string hangupCauseText;

    std::uint64_t order = 0;    // when the channel first appeared; rows are sorted by it
    std::uint64_t listedIn = 0; // the listing that last named it, or saw an event for it
};

// The calls that are up, keyed by channel, in the order their channels first appeared, updated
// by the PBX's events and by complete listings. Plain C++: the window only shows it, through a
// Listener that hears of every row that changes, goes or comes.
//
// Rows are kept sorted by their first appearance, so finding a call's row is a binary search and
// a removal moves pointers only; the calls themselves stay where they are.
class LiveCalls
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Told of each removal (before it happens, as a view needs it) and each change. Additions
    // are not announced: rows are added only at the end, so a listener takes in the rows past
    // the last it has seen (size()) when it chooses, usually once per read, which lets it handle
    // the calls that arrived together in one step (see Conversations::flush()).
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void callsAboutToBeRemoved(std::size_t first, std::size_t last) = 0;
        virtual void callsRemoved() = 0;
        virtual void callChanged(std::size_t row) = 0;
    };

    explicit LiveCalls(const std::locale& numbers = DurationFormat::userLocale(),
                       Clock clock = &std::chrono::steady_clock::now);
    ~LiveCalls();
    LiveCalls(const LiveCalls&) = delete;
    LiveCalls& operator=(const LiveCalls&) = delete;

    void setListener(Listener* listener) { observer = listener; }
    Listener* listener() const { return observer; }

    std::size_t size() const { return rows.size(); }
    const LiveCall& at(std::size_t row) const { return *rows[row]; }
    std::optional<std::size_t> rowOf(std::string_view channel) const;
    // A listing has completed since the start: until then an empty set means "not known yet".
    bool listed() const { return nCompleted > 0; }
    std::uint64_t completedListings() const { return nCompleted; }

    // The entry as the list shows it at `now`: "CHANNEL From: NUM <NAME> To: EXT Lasted: MIN
    // minutes.", the minutes counted on from the listing in whole seconds. Returns where its
    // parts end in `out`.
    EntryParts appendEntry(std::size_t row, std::chrono::steady_clock::time_point now,
                           std::string& out) const;
    std::string entry(std::size_t row) const;
    std::chrono::steady_clock::time_point now() const { return clock(); }

    // Events. A channel never seen is taken in by any event that describes it, unless it was
    // hung up a moment ago (a late event must not bring it back); see EventBlock for which
    // event is which.
    // `uniqueid`, when given, is the PBX's name for the call (LiveCall::uniqueid).
    void appeared(std::string_view channel, const CallFields& fields,
                  std::string_view uniqueid = {});
    void described(std::string_view channel, const CallFields& fields,
                   std::string_view uniqueid = {});
    void renamed(std::string_view oldName, std::string_view newName);
    void hungUp(std::string_view channel, std::optional<int> cause = std::nullopt,
                std::string_view causeText = {});
    // A current PBX: the channel left this bridge (it may have entered another meanwhile).
    void leftBridge(std::string_view channel, std::string_view bridgeId);
    // An older PBX: the two channels were bridged to each other, or no longer are.
    void linked(std::string_view first, std::string_view second);
    void unlinked(std::string_view first, std::string_view second);

    // A listing: its records one by one, then its end. A complete listing is the truth at its
    // moment: calls it did not name are removed, unless `trusted` is false because some of its
    // records may have been lost.
    void listingStarted();
    void listedCall(std::string_view channel, std::string_view number, std::string_view name,
                    std::string_view extension, std::string_view seconds,
                    std::string_view uniqueid = {});
    // The same with everything the record said; a field it left out is cleared.
    void listedCall(std::string_view channel, const CallFields& fields, std::string_view seconds,
                    std::string_view uniqueid = {});
    void listingComplete(bool trusted);
    // The listing under way will never complete (its connection is gone).
    void listingAbandoned() { bListing = false; }
    bool listingOpen() const { return bListing; }

    // How many hung-up channels are remembered against late events.
    static constexpr std::size_t RememberedHangups = 4096;

private:
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const
        {
            return std::hash<std::string_view>{}(text);
        }
    };
    using Map = std::unordered_map<std::string, LiveCall, Hash, std::equal_to<>>;

    LiveCall* find(std::string_view channel);
    std::size_t rowOf(const LiveCall& call) const;
    LiveCall& add(std::string_view channel);
    bool update(LiveCall& call, const CallFields& fields);
    static void identify(LiveCall& call, std::string_view uniqueid);
    void removeRows(std::size_t first, std::size_t last);
    void changed(const LiveCall& call);
    void forget(std::string_view channel);
    bool recentlyGone(std::string_view channel) const;
    void stamp(LiveCall& call) const;

    DurationFormat duration;
    Clock clock;
    Listener* observer = nullptr;

    Map byChannel;
    std::vector<LiveCall*> rows; // sorted by LiveCall::order
    std::uint64_t nextOrder = 1;

    std::uint64_t nListing = 0; // the listing under way, or the last one
    std::uint64_t nCompleted = 0;
    bool bListing = false;

    // Channels hung up or renamed away lately, oldest first; a name counts while its latest
    // entry is still in the queue.
    std::unordered_map<std::string, std::uint64_t, Hash, std::equal_to<>> gone;
    std::deque<std::pair<std::string, std::uint64_t>> goneOrder;
    std::uint64_t nGone = 0;
};

} // namespace corvale
