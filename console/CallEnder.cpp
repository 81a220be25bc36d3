#include "CallEnder.h"

#include "CallTreeModel.h"
#include "session/DisplayText.h"

#include <algorithm>
#include <unordered_set>

namespace {

// Qt's plurals need a translation even for English; until there is one, the singular is a text
// of its own.
QString channelCount(int n)
{
    return n == 1 ? CallEnder::tr("1 channel") : CallEnder::tr("%n channels", nullptr, n);
}

} // namespace

CallEnder::CallEnder(QObject* parent)
    : QObject(parent)
{}

std::vector<std::string> CallEnder::channelsOf(const Choice& choice)
{
    std::vector<std::string> channels;
    std::unordered_set<std::string> seen;
    const auto take = [&](const corvale::Leg* leg) {
        if (seen.insert(leg->call->channel).second)
            channels.push_back(leg->call->channel);
    };
    for (const corvale::Conversation* conversation : choice.conversations)
        for (const corvale::Leg* leg : conversation->legs)
            take(leg);
    for (const corvale::Leg* leg : choice.legs)
        take(leg);
    return channels;
}

QString CallEnder::question(const CallTreeModel& model, const Choice& choice)
{
    const auto callText = [&model](const corvale::Conversation& conversation) {
        const int legs = static_cast<int>(conversation.legs.size());
        const QString to = model.toText(conversation);
        if (to.isEmpty())
            return tr("the call from %1 (%2)")
                .arg(model.fromText(conversation), channelCount(legs));
        return tr("the call from %1 to %2 (%3)")
            .arg(model.fromText(conversation), to, channelCount(legs));
    };
    const auto channelText = [](const corvale::Leg& leg) {
        return corvale::displayText(leg.call->channel);
    };
    if (choice.conversations.size() == 1 && choice.legs.empty()) {
        const corvale::Conversation& conversation = *choice.conversations.front();
        const QString to = model.toText(conversation);
        const int legs = static_cast<int>(conversation.legs.size());
        if (to.isEmpty())
            return tr("End the call from %1 (%2)?")
                .arg(model.fromText(conversation), channelCount(legs));
        return tr("End the call from %1 to %2 (%3)?")
            .arg(model.fromText(conversation), to, channelCount(legs));
    }
    if (choice.conversations.empty() && choice.legs.size() == 1) {
        const corvale::Leg& leg = *choice.legs.front();
        return tr("Hang up the channel %1 of %2?")
            .arg(channelText(leg), callText(*leg.conversation));
    }
    QStringList lines;
    for (const corvale::Conversation* conversation : choice.conversations)
        lines << tr("- %1").arg(callText(*conversation));
    for (const corvale::Leg* leg : choice.legs)
        lines << tr("- the channel %1").arg(channelText(*leg));
    const int count = static_cast<int>(channelsOf(choice).size());
    return tr("Hang up %1?").arg(channelCount(count)) + QLatin1Char('\n') +
           lines.join(QLatin1Char('\n'));
}

void CallEnder::end(const std::vector<std::string>& channels)
{
    // All are waited for before the first goes out: a connection may answer a hangup before
    // hangUp() returns (it waits for the answer in a nested event loop), and the account comes
    // once, when the last is in.
    std::vector<std::string> fresh;
    for (const std::string& channel : channels) {
        // A hangup already on its way adds nothing: the PBX's answer names no channel, so the
        // connection could not tell the two apart.
        if (pending.emplace(channel, false).second)
            fresh.push_back(channel);
    }
    if (fresh.empty())
        return;
    emit progress(tr("Hanging up %1...").arg(channelCount(static_cast<int>(pending.size()))));
    for (const std::string& channel : fresh)
        if (hangUp)
            hangUp(channel);
}

void CallEnder::finished(const std::string& channel, bool ok, const QString& reason)
{
    const auto it = pending.find(channel);
    if (it == pending.end())
        return; // not one of ours (the call list window's, or one already abandoned)
    pending.erase(it);
    // Ending one leg of a call often ends the others before their own hangups arrive, and the
    // PBX then knows no such channel: the leg is gone, which is what was asked for.
    if (ok || reason == QLatin1String(NoSuchChannel))
        ++nEnded;
    else
        failures << tr("%1: %2").arg(corvale::displayText(channel), reason);
    if (pending.empty())
        report();
}

void CallEnder::abandon()
{
    for (const auto& [channel, answered] : pending)
        failures << tr("%1: no answer, the connection ended").arg(corvale::displayText(channel));
    pending.clear();
    if (nEnded > 0 || !failures.isEmpty())
        report();
}

void CallEnder::report()
{
    const int ended = std::exchange(nEnded, 0);
    const QStringList failedNow = std::exchange(failures, {});
    if (failedNow.isEmpty()) {
        emit progress(tr("Hung up %1.").arg(channelCount(ended)));
        return;
    }
    emit progress(tr("Hung up %1 of %2 channels.")
                      .arg(ended)
                      .arg(ended + static_cast<int>(failedNow.size())));
    emit failed(tr("These channels could not be hung up:") + QLatin1Char('\n') +
                failedNow.join(QLatin1Char('\n')));
}
