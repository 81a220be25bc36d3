#include "HistoryRecorder.h"

#include "CallPresentation.h"
#include "CallSources.h"
#include "Conversations.h"
#include "QueueFields.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

using corvale::Conversation;
using corvale::Conversations;
using corvale::LiveCall;
using corvale::LiveCalls;

namespace {

bool known(const std::string& text)
{
    return !text.empty() && text != "<unknown>";
}

// The name the notes of a call are kept under: the PBX's for it, else its channel's.
std::string callKey(const LiveCall& call)
{
    return call.uniqueid.empty() ? call.channel : call.uniqueid;
}

} // namespace

// Passes every change of one PBX's live calls on to its conversations, and looks at the channels
// that go first, while their conversations still hold them.
class HistoryRecorder::Tap : public LiveCalls::Listener
{
public:
    Tap(HistoryRecorder& owner, int key, LiveCalls& liveCalls, Conversations& grouping)
        : recorder(owner)
        , pbx(key)
        , calls(liveCalls)
        , conversations(grouping)
    {
        calls.setListener(this);
    }
    ~Tap() override
    {
        // The conversations take their slot back, unless they have gone (and cleared it) or
        // others have taken it.
        if (calls.listener() == this)
            calls.setListener(&conversations);
    }
    Tap(const Tap&) = delete;
    Tap& operator=(const Tap&) = delete;

    void callsAboutToBeRemoved(std::size_t first, std::size_t last) override
    {
        going(first, last);
        conversations.callsAboutToBeRemoved(first, last);
    }
    void callsRemoved() override
    {
        conversations.callsRemoved();
        // A conversation that lost a channel and then joined another never ends under its id.
        if (pending.size() > conversations.size() + 64)
            std::erase_if(pending,
                          [this](const auto& item) { return !conversations.find(item.first); });
    }
    void callChanged(std::size_t row) override { conversations.callChanged(row); }

    HistoryRecorder& recorder;
    const int pbx;
    LiveCalls& calls;
    Conversations& conversations;
    // The calls that have lost a channel but not yet all, by conversation id.
    std::unordered_map<std::uint64_t, Snapshot> pending;

private:
    void going(std::size_t first, std::size_t last);
};

void HistoryRecorder::Tap::going(std::size_t first, std::size_t last)
{
    // Calls not yet taken in were never shown.
    if (first >= conversations.legCount())
        return;
    last = std::min(last, conversations.legCount() - 1);
    const bool listing = calls.listingOpen();
    const auto now = calls.now();

    std::unordered_set<const LiveCall*> leaving;
    std::vector<std::pair<const Conversation*, bool>> touched; // and whether an end was seen
    std::unordered_map<const Conversation*, std::size_t> touchedAt; // a long range stays linear
    for (std::size_t row = first; row <= last; ++row) {
        const LiveCall& call = calls.at(row);
        leaving.insert(&call);
        const Conversation* conversation = conversations.conversationOf(call.channel);
        if (conversation == nullptr)
            continue;
        auto [it, fresh] = pending.try_emplace(conversation->id);
        if (fresh)
            it->second = recorder.snapshotOf(pbx, *conversation);
        Snapshot& snapshot = it->second;
        // The caller's cause tells how the call ended; another's only until the caller's comes.
        if (call.hangupCause && (call.channel == snapshot.callerChannel ||
                                 (snapshot.entry.cause == 0 && snapshot.entry.causeText.empty()))) {
            snapshot.entry.cause = *call.hangupCause;
            snapshot.entry.causeText = call.hangupCauseText;
        }
        const bool seen = call.hangupCause.has_value() || !listing;
        const auto [at, isNew] = touchedAt.try_emplace(conversation, touched.size());
        if (isNew)
            touched.emplace_back(conversation, seen);
        else
            touched[at->second].second = touched[at->second].second || seen;
    }
    for (const auto& [conversation, seen] : touched) {
        if (!std::all_of(conversation->legs.begin(), conversation->legs.end(),
                         [&](const corvale::Leg* leg) { return leaving.count(leg->call) > 0; }))
            continue;
        const auto it = pending.find(conversation->id);
        Snapshot snapshot = std::move(it->second);
        pending.erase(it);
        if (seen)
            recorder.ended(pbx, std::move(snapshot), now);
    }
}

HistoryRecorder::HistoryRecorder(CallSources& callSources, corvale::History::Clock clock,
                                 QObject* parent)
    : QObject(parent)
    , sources(callSources)
    , store(std::move(clock))
{}

HistoryRecorder::~HistoryRecorder() = default;

void HistoryRecorder::watch(int pbx, LiveCalls& calls)
{
    forget(pbx);
    Conversations* conversations = sources.conversations(pbx);
    if (conversations == nullptr)
        return;
    taps.emplace(pbx, std::make_unique<Tap>(*this, pbx, calls, *conversations));
}

void HistoryRecorder::forget(int pbx)
{
    for (auto it = held.begin(); it != held.end();) {
        if (it->first != pbx) {
            ++it;
            continue;
        }
        write(std::move(it->second));
        it = held.erase(it);
    }
    std::erase_if(awaitedHangups, [pbx](const auto& item) { return item.first.pbx == pbx; });
    taps.erase(pbx);
}

std::string HistoryRecorder::pbxName(int pbx) const
{
    return sources.name(pbx).toStdString();
}

HistoryRecorder::Snapshot HistoryRecorder::snapshotOf(int pbx,
                                                      const Conversation& conversation) const
{
    Snapshot snapshot;
    corvale::HistoryEntry& entry = snapshot.entry;
    const LiveCall& caller = *CallPresentation::callerOf(conversation).call;
    entry.fromNumber = caller.number;
    entry.fromName = caller.name;
    // As the calls show it: the other party once there is one, else the extension dialled.
    const corvale::Leg* other = CallPresentation::otherPartyOf(conversation);
    if (other != nullptr && (known(other->call->number) || known(other->call->name))) {
        entry.toNumber = other->call->number;
        entry.toName = other->call->name;
    } else {
        entry.toNumber = caller.extension;
    }
    entry.pbx = pbxName(pbx);
    snapshot.key = callKey(caller);
    snapshot.callerChannel = caller.channel;
    for (const corvale::Leg* leg : conversation.legs)
        snapshot.channels.push_back(leg->call->channel);
    if (const auto seconds = CallPresentation::secondsOf(conversation))
        snapshot.started = conversation.owner->liveCalls().now() -
                           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(*seconds));
    return snapshot;
}

void HistoryRecorder::ended(int pbx, Snapshot snapshot, std::chrono::steady_clock::time_point now)
{
    if (snapshot.started) {
        const std::chrono::duration<double> lasted = now - *snapshot.started;
        snapshot.entry.seconds =
            static_cast<std::int64_t>(std::floor(std::max(lasted.count(), 0.0)));
    }
    // The hangup's answer may come after the call's end: it says whether the operator ended it.
    if (awaited(pbx, snapshot))
        held.emplace_back(pbx, std::move(snapshot));
    else
        write(std::move(snapshot));
}

void HistoryRecorder::write(Snapshot snapshot)
{
    if (snapshot.endedHere)
        snapshot.entry.ending = std::max(snapshot.entry.ending, corvale::Ending::FromConsole);
    store.add(std::move(snapshot.entry), snapshot.key);
}

bool HistoryRecorder::awaited(int pbx, const Snapshot& snapshot) const
{
    return std::any_of(snapshot.channels.begin(), snapshot.channels.end(),
                       [&](const std::string& channel) {
                           return awaitedHangups.count(Target{pbx, channel}) > 0;
                       });
}

std::string HistoryRecorder::keyOf(int pbx, std::string_view channel,
                                   std::string_view uniqueid) const
{
    // A channel of a call shown: the call's caller, under whom its entry takes the notes.
    if (const auto it = taps.find(pbx); it != taps.end() && !channel.empty()) {
        const Tap& tap = *it->second;
        if (const Conversation* conversation = tap.conversations.conversationOf(channel)) {
            if (const auto snapshot = tap.pending.find(conversation->id);
                snapshot != tap.pending.end())
                return snapshot->second.key;
            return callKey(*CallPresentation::callerOf(*conversation).call);
        }
    }
    return std::string(uniqueid.empty() ? channel : uniqueid);
}

void HistoryRecorder::noteAbandoned(int pbx, const corvale::AbandonedCaller& caller)
{
    store.noteAbandoned(pbxName(pbx), keyOf(pbx, caller.channel, caller.uniqueid),
                        std::string(caller.queue), caller.holdTime,
                        static_cast<int>(caller.position));
}

void HistoryRecorder::noteAnswered(int pbx, const corvale::AnsweredCaller& call)
{
    const std::string_view member = call.memberName.empty() ? call.interface : call.memberName;
    store.noteAnswered(pbxName(pbx), keyOf(pbx, call.channel, call.uniqueid), std::string(member),
                       call.holdTime);
}

void HistoryRecorder::hangupsRequested(const QList<Target>& targets)
{
    for (const Target& target : targets)
        ++awaitedHangups[target];
}

void HistoryRecorder::hangupFinished(const Target& target, bool ok)
{
    if (const auto it = awaitedHangups.find(target);
        it != awaitedHangups.end() && --it->second <= 0)
        awaitedHangups.erase(it);
    bool taken = false;
    for (auto& [pbx, snapshot] : held)
        if (ok && pbx == target.pbx &&
            std::find(snapshot.channels.begin(), snapshot.channels.end(), target.channel) !=
                snapshot.channels.end())
            taken = snapshot.endedHere = true;
    // A call still up ends later, and takes the note then.
    const auto tap = taps.find(target.pbx);
    if (ok && !taken && tap != taps.end() && tap->second->calls.rowOf(target.channel))
        store.noteEndedHere(pbxName(target.pbx), keyOf(target.pbx, target.channel, {}));
    for (auto it = held.begin(); it != held.end();) {
        if (awaited(it->first, it->second)) {
            ++it;
            continue;
        }
        write(std::move(it->second));
        it = held.erase(it);
    }
}
