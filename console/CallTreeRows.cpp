#include "CallTreeRows.h"

#include <algorithm>

using corvale::Conversation;

void CallTreeRows::add(std::unique_ptr<CallTreeSource> source)
{
    source->serial = nextSerial++;
    sources.push_back(std::move(source));
    rowsMoved();
}

void CallTreeRows::remove(const CallTreeSource& source)
{
    const auto it = std::find_if(sources.begin(), sources.end(),
                                 [&source](const auto& each) { return each.get() == &source; });
    if (it == sources.end())
        return;
    sources.erase(it);
    rowsMoved();
}

CallTreeSource* CallTreeRows::withKey(int key) const
{
    for (const auto& source : sources)
        if (source->key == key)
            return source.get();
    return nullptr;
}

const CallTreeSource* CallTreeRows::withSerial(quint64 serial) const
{
    for (const auto& source : sources)
        if (source->serial == serial)
            return source.get();
    return nullptr;
}

const CallTreeSource* CallTreeRows::of(const Conversation& conversation) const
{
    for (const auto& source : sources)
        if (source->calls == conversation.owner)
            return source.get();
    return nullptr;
}

const std::vector<std::size_t>& CallTreeRows::starts() const
{
    if (startsStale) {
        rowStarts.clear();
        std::size_t at = 0;
        for (const auto& source : sources) {
            rowStarts.push_back(at);
            at += source->calls->size();
        }
        rowStarts.push_back(at);
        startsStale = false;
    }
    return rowStarts;
}

std::pair<const CallTreeSource*, std::size_t> CallTreeRows::at(int row) const
{
    if (row < 0)
        return {nullptr, 0};
    const auto wanted = static_cast<std::size_t>(row);
    const std::vector<std::size_t>& first = starts();
    if (wanted >= first.back())
        return {nullptr, 0};
    // The last source starting at or before the row; empty sources start where the next does.
    const auto next = std::upper_bound(first.begin(), first.end() - 1, wanted);
    const auto index = static_cast<std::size_t>(next - first.begin()) - 1;
    return {sources[index].get(), wanted - first[index]};
}

int CallTreeRows::offsetOf(const CallTreeSource& source) const
{
    const std::vector<std::size_t>& first = starts();
    for (std::size_t i = 0; i < sources.size(); ++i)
        if (sources[i].get() == &source)
            return static_cast<int>(first[i]);
    return static_cast<int>(first.back());
}
