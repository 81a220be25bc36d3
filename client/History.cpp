#include "History.h"

#include <algorithm>
#include <ctime>

namespace corvale {

WallTime WallTime::local(std::chrono::system_clock::time_point at)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm parts{};
    if (localtime_r(&seconds, &parts) == nullptr)
        return {at, 0};
    return {at, static_cast<int>(parts.tm_gmtoff)};
}

History::History(Clock wallClock)
    : clock(std::move(wallClock))
{}

History::Note& History::noteFor(std::string_view pbx, std::string_view call)
{
    std::string key;
    key.reserve(pbx.size() + 1 + call.size());
    key.append(pbx).append(1, '\0').append(call);
    const auto [it, added] = notes.try_emplace(key);
    if (!added)
        return it->second;
    it->second.serial = nextSerial++;
    noteOrder.emplace_back(it->second.serial, std::move(key));
    const auto current = [this](const std::pair<std::uint64_t, std::string>& entry) {
        const auto found = notes.find(entry.second);
        return found != notes.end() && found->second.serial == entry.first;
    };
    while (notes.size() > MaxNotes) {
        if (current(noteOrder.front()))
            notes.erase(noteOrder.front().second);
        noteOrder.pop_front();
    }
    // Most notes are taken when their call ends; their keys go here, in one pass now and then.
    if (noteOrder.size() > 2 * MaxNotes) {
        std::deque<std::pair<std::uint64_t, std::string>> kept;
        for (auto& entry : noteOrder)
            if (current(entry))
                kept.push_back(std::move(entry));
        noteOrder = std::move(kept);
    }
    return it->second;
}

void History::noteAnswered(std::string_view pbx, std::string_view call, std::string member,
                           std::int64_t holdSeconds)
{
    Note& note = noteFor(pbx, call);
    note.ending = std::max(note.ending, Ending::Answered);
    note.member = std::move(member);
    note.holdSeconds = holdSeconds;
}

void History::noteAbandoned(std::string_view pbx, std::string_view call, std::string queue,
                            std::int64_t holdSeconds, int position)
{
    Note& note = noteFor(pbx, call);
    note.ending = Ending::Abandoned;
    note.queue = std::move(queue);
    note.holdSeconds = holdSeconds;
    note.position = position;
}

void History::noteEndedHere(std::string_view pbx, std::string_view call)
{
    Note& note = noteFor(pbx, call);
    note.ending = std::max(note.ending, Ending::FromConsole);
}

void History::add(HistoryEntry entry, std::string_view call)
{
    entry.ended = clock();
    if (!call.empty()) {
        std::string key = entry.pbx;
        key.append(1, '\0').append(call);
        if (const auto it = notes.find(key); it != notes.end()) {
            Note& note = it->second;
            entry.ending = std::max(entry.ending, note.ending);
            if (!note.queue.empty())
                entry.queue = std::move(note.queue);
            if (!note.member.empty())
                entry.member = std::move(note.member);
            if (note.holdSeconds != 0)
                entry.holdSeconds = note.holdSeconds;
            if (note.position != 0)
                entry.position = note.position;
            notes.erase(it);
        }
    }
    prune(1, entry.ended.at);
    if (observer != nullptr)
        observer->entryAboutToBeAdded();
    entries.push_back(std::move(entry));
    if (observer != nullptr)
        observer->entryAdded();
}

void History::prune()
{
    prune(0, clock().at);
}

void History::prune(std::size_t room, std::chrono::system_clock::time_point now)
{
    // Calls are added as they end, so the oldest are at the start; a clock set back only makes
    // them wait there a little longer.
    const auto oldest = now - MaxAge;
    std::size_t count = 0;
    while (count < entries.size() && entries[count].ended.at < oldest)
        ++count;
    if (entries.size() - count + room > MaxEntries)
        count = entries.size() + room - MaxEntries;
    if (count == 0)
        return;
    if (observer != nullptr)
        observer->entriesAboutToBeRemoved(count);
    entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(count));
    if (observer != nullptr)
        observer->entriesRemoved();
}

} // namespace corvale
