#pragma once

#include "History.h"
#include "Target.h"

#include <QList>
#include <QObject>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CallSources;
namespace corvale {
struct AbandonedCaller;
struct AnsweredCaller;
struct Conversation;
class LiveCalls;
} // namespace corvale

// Fills the history as the console's calls end: a call (a conversation) ends when its last
// channel goes, and its entry says who talked to whom, for how long, the PBX's cause and what
// the queues and the operator did to it.
//
// Only an end that was seen is an end: a channel the PBX said hung up, or one that went outside a
// listing. A listing that no longer names a channel says only that it ended at some time since
// the last one, perhaps while the link was down, so a call whose last channel goes that way is
// left out, and so are the calls of a PBX taken off the view.
//
// It stands between each PBX's live calls and their grouping into conversations, so that it sees
// a channel go while its conversation is still whole.
class HistoryRecorder : public QObject
{
    Q_OBJECT

public:
    explicit HistoryRecorder(CallSources& sources,
                             corvale::History::Clock clock = &corvale::WallTime::now,
                             QObject* parent = nullptr);
    ~HistoryRecorder() override;

    corvale::History& history() { return store; }

    // Follows the calls of the PBX that the sources show under this key (after CallSources::add)
    // until forget(), which must come before CallSources::remove().
    void watch(int pbx, corvale::LiveCalls& calls);
    // Entries held for a hangup's answer are written now, without it.
    void forget(int pbx);

    // From the queues of the PBX under this key.
    void noteAbandoned(int pbx, const corvale::AbandonedCaller& caller);
    void noteAnswered(int pbx, const corvale::AnsweredCaller& call);
    // The operator's hangups, as asked for and as answered.
    void hangupsRequested(const QList<Target>& targets);
    void hangupFinished(const Target& target, bool ok);

private:
    // A call as it stood before its first channel went.
    struct Snapshot
    {
        corvale::HistoryEntry entry;
        std::string key;           // the call its notes are under: its caller's Uniqueid
        std::string callerChannel; // whose cause, once known, says how the call ended
        std::vector<std::string> channels;
        std::optional<std::chrono::steady_clock::time_point> started;
        bool endedHere = false;
    };
    class Tap;
    friend class Tap;

    Snapshot snapshotOf(int pbx, const corvale::Conversation& conversation) const;
    void ended(int pbx, Snapshot snapshot, std::chrono::steady_clock::time_point now);
    void write(Snapshot snapshot);
    bool awaited(int pbx, const Snapshot& snapshot) const;
    std::string keyOf(int pbx, std::string_view channel, std::string_view uniqueid) const;
    std::string pbxName(int pbx) const;

    CallSources& sources;
    corvale::History store;
    std::map<int, std::unique_ptr<Tap>> taps;
    std::map<Target, int> awaitedHangups; // how many answers each channel still awaits
    // Calls that ended while a hangup of one of their channels awaited its answer.
    std::vector<std::pair<int, Snapshot>> held;
};
