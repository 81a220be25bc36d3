#include "QueueAnswers.h"

namespace corvale {

const QueueAnswer* QueueAnswers::find(std::string_view uniqueid) const
{
    const auto it = answers.find(uniqueid);
    return it == answers.end() ? nullptr : &it->second;
}

const QueueAnswer* QueueAnswers::findOn(std::string_view channel) const
{
    const auto it = byChannel.find(channel);
    return it == byChannel.end() ? nullptr : find(it->second);
}

std::string_view QueueAnswers::uniqueidOn(std::string_view channel) const
{
    const auto it = byChannel.find(channel);
    return it == byChannel.end() ? std::string_view() : std::string_view(it->second);
}

void QueueAnswers::remember(const AnsweredCaller& call)
{
    if (call.uniqueid.empty())
        return;
    forget(call.uniqueid);
    const std::uint64_t id = ++nAnswers;
    QueueAnswer& answer = answers[std::string(call.uniqueid)];
    answer = QueueAnswer{std::string(call.queue),
                         std::string(call.memberName),
                         std::string(call.interface),
                         std::string(call.memberChannel),
                         std::string(call.channel),
                         std::string(call.uniqueid),
                         id};
    if (!answer.channel.empty())
        byChannel.insert_or_assign(answer.channel, answer.uniqueid);
    order.emplace_back(answer.uniqueid, id);
    if (order.size() > RememberedAnswers) {
        // An entry ended meanwhile, or remembered again since, is no longer this one.
        const auto& [oldest, oldestId] = order.front();
        if (const QueueAnswer* kept = find(oldest); kept != nullptr && kept->id == oldestId)
            forget(oldest);
        order.pop_front();
    }
}

void QueueAnswers::forget(std::string_view uniqueid)
{
    const auto it = answers.find(uniqueid);
    if (it == answers.end())
        return;
    const auto indexed = byChannel.find(it->second.channel);
    if (indexed != byChannel.end() && indexed->second == it->second.uniqueid)
        byChannel.erase(indexed);
    answers.erase(it);
}

void QueueAnswers::left(std::string_view uniqueid, std::string_view channel)
{
    if (uniqueid.empty())
        return;
    leavers.emplace_back(uniqueid, channel);
    if (leavers.size() > RememberedLeavers)
        leavers.pop_front();
}

std::string_view QueueAnswers::channelOf(std::string_view uniqueid) const
{
    for (auto it = leavers.rbegin(); it != leavers.rend(); ++it)
        if (!uniqueid.empty() && it->first == uniqueid)
            return it->second;
    return {};
}

} // namespace corvale
