#include "CallPresentation.h"

#include "Conversations.h"
#include "PbxWords.h"
#include "session/DisplayText.h"

#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>

using corvale::Conversation;
using corvale::Leg;

namespace CallPresentation {

namespace {

struct Uniqueid
{
    std::uint64_t seconds = 0;
    std::uint64_t sequence = 0;
    auto operator<=>(const Uniqueid&) const = default;
};

bool readNumber(std::string_view digits, std::uint64_t& out)
{
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    return !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
}

// "1796813979.122", perhaps after the PBX's system name and a dash.
std::optional<Uniqueid> readUniqueid(std::string_view text)
{
    const std::size_t dot = text.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    std::size_t start = dot;
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9')
        --start;
    Uniqueid id;
    if (!readNumber(text.substr(start, dot - start), id.seconds) ||
        !readNumber(text.substr(dot + 1), id.sequence))
        return std::nullopt;
    return id;
}

bool known(const std::string& text)
{
    return !text.empty() && text != corvale::UnknownCaller;
}

bool bridgedTogether(const Leg& a, const Leg& b)
{
    return (!a.bridgeId.empty() && a.bridgeId == b.bridgeId) ||
           (!a.bridgedTo.empty() && a.bridgedTo == b.channel);
}

bool halvesOfOneLocal(const Leg& a, const Leg& b)
{
    return corvale::otherHalves(a.channel, b.channel);
}

const Leg* otherHalfOf(const Conversation& conversation, const Leg& half)
{
    for (const Leg* leg : conversation.legs)
        if (halvesOfOneLocal(half, *leg))
            return leg;
    return nullptr;
}

} // namespace

bool olderThan(const Leg& a, const Leg& b)
{
    const auto idA = readUniqueid(a.call->uniqueid);
    const auto idB = readUniqueid(b.call->uniqueid);
    if (idA.has_value() != idB.has_value())
        return idA.has_value();
    if (idA && *idA != *idB)
        return *idA < *idB;
    // Whole seconds, as the PBX counts them: the legs of one listing were taken in microseconds
    // apart, which must not order them.
    const auto whole = [](const std::optional<double>& seconds) {
        return seconds ? std::optional<double>(std::floor(*seconds)) : std::nullopt;
    };
    const auto secondsA = whole(secondsOf(a));
    const auto secondsB = whole(secondsOf(b));
    if (secondsA != secondsB)
        return secondsA > secondsB; // a duration known is longer than one that is not
    return a.channel < b.channel;
}

const Leg& callerOf(const Conversation& conversation)
{
    const Leg* founder = nullptr;
    const Leg* oldest = nullptr;
    for (const Leg* leg : conversation.legs) {
        if (oldest == nullptr || olderThan(*leg, *oldest))
            oldest = leg;
        const corvale::LiveCall& call = *leg->call;
        if (!call.linkedid.empty() && call.uniqueid == call.linkedid &&
            (founder == nullptr || olderThan(*leg, *founder)))
            founder = leg;
    }
    const Leg* caller = founder != nullptr ? founder : oldest;
    if (!caller->localChannel.empty() && !known(caller->call->number))
        if (const Leg* other = otherHalfOf(conversation, *caller))
            return *other;
    return *caller;
}

const Leg* otherPartyOf(const Conversation& conversation)
{
    const auto& legs = conversation.legs;
    if (std::none_of(legs.begin(), legs.end(), [](const Leg* leg) {
            return !leg->bridgeId.empty() || !leg->bridgedTo.empty();
        }))
        return nullptr;
    // Breadth first from the caller, each step's legs taken oldest first.
    std::vector<const Leg*> byAge(legs.begin(), legs.end());
    std::sort(byAge.begin(), byAge.end(),
              [](const Leg* a, const Leg* b) { return olderThan(*a, *b); });
    std::vector<const Leg*> reached{&callerOf(conversation)};
    for (std::size_t next = 0; next < reached.size(); ++next) {
        const Leg& from = *reached[next];
        for (const Leg* leg : byAge) {
            if (std::find(reached.begin(), reached.end(), leg) != reached.end())
                continue;
            if (!bridgedTogether(from, *leg) && !bridgedTogether(*leg, from) &&
                !halvesOfOneLocal(from, *leg))
                continue;
            if (leg->localChannel.empty())
                return leg;
            reached.push_back(leg);
        }
    }
    return reached.size() > 1 ? reached.back() : nullptr;
}

QString partyText(const std::string& number, const std::string& name)
{
    // The PBX says "<unknown>" where it knows nothing; "5552001 <<unknown>>" would say less.
    if (!known(name))
        return known(number) ? corvale::displayText(number) : QString();
    if (!known(number))
        return corvale::displayText(name);
    return QStringLiteral("%1 <%2>").arg(corvale::displayText(number), corvale::displayText(name));
}

QString fromText(const Conversation& conversation)
{
    const corvale::LiveCall& caller = *callerOf(conversation).call;
    return partyText(caller.number, caller.name);
}

QString toText(const Conversation& conversation)
{
    if (const Leg* other = otherPartyOf(conversation)) {
        const QString party = partyText(other->call->number, other->call->name);
        if (!party.isEmpty())
            return party;
    }
    return corvale::displayText(callerOf(conversation).call->extension);
}

QString stateText(const Conversation& conversation)
{
    QStringList states;
    for (const Leg* leg : conversation.legs) {
        const QString state = corvale::displayText(leg->call->state);
        if (!state.isEmpty() && !states.contains(state))
            states << state;
    }
    return states.join(QStringLiteral(", "));
}

std::optional<double> secondsOf(const Leg& leg)
{
    return secondsOf(leg, leg.conversation->owner->liveCalls().now());
}

std::optional<double> secondsOf(const Conversation& conversation)
{
    return secondsOf(conversation, conversation.owner->liveCalls().now());
}

std::optional<double> secondsOf(const Leg& leg, std::chrono::steady_clock::time_point now)
{
    const corvale::LiveCall& call = *leg.call;
    if (!call.seconds)
        return std::nullopt;
    // Not rounded: two calls compare the same way whenever they are compared.
    const std::chrono::duration<double> since = now - call.since;
    return *call.seconds + std::max(since.count(), 0.0);
}

std::optional<double> secondsOf(const Conversation& conversation,
                                std::chrono::steady_clock::time_point now)
{
    std::optional<double> longest;
    for (const Leg* leg : conversation.legs)
        if (const auto seconds = secondsOf(*leg, now); seconds && (!longest || *seconds > *longest))
            longest = seconds;
    return longest;
}

QString durationText(double seconds)
{
    const auto whole = static_cast<qint64>(std::floor(std::max(seconds, 0.0)));
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace CallPresentation
