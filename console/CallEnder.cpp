#include "CallEnder.h"

#include "CallPresentation.h"
#include "CallSources.h"
#include "Conversations.h"
#include "PbxWords.h"
#include "session/DisplayText.h"

#include <algorithm>

using corvale::Conversation;
using corvale::Leg;

namespace {

// Qt's plurals need a translation even for English; until there is one, the singular is a text
// of its own.
QString channelCount(int n)
{
    return n == 1 ? CallEnder::tr("1 channel") : CallEnder::tr("%n channels", nullptr, n);
}

QString channelText(const Leg& leg)
{
    return corvale::displayText(leg.call->channel);
}

} // namespace

CallEnder::CallEnder(const CallSources& sources, QObject* parent)
    : QObject(parent)
    , calls(sources)
{}

std::vector<Target> CallEnder::targetsOf(const Choice& choice) const
{
    std::vector<Target> targets;
    std::set<Target> seen;
    const auto take = [&](const Leg* leg) {
        Target target{calls.pbxOf(*leg->conversation), leg->call->channel};
        if (seen.insert(target).second)
            targets.push_back(std::move(target));
    };
    for (const Conversation* conversation : choice.conversations)
        for (const Leg* leg : conversation->legs)
            take(leg);
    for (const Leg* leg : choice.legs)
        take(leg);
    return targets;
}

QString CallEnder::pbxOf(const Conversation& conversation) const
{
    // Named only where it tells calls apart.
    return calls.count() > 1 ? calls.name(calls.pbxOf(conversation)) : QString();
}

QString CallEnder::callText(const Conversation& conversation) const
{
    const QString from = CallPresentation::fromText(conversation);
    const QString to = CallPresentation::toText(conversation);
    QString legs = channelCount(static_cast<int>(conversation.legs.size()));
    if (const QString pbx = pbxOf(conversation); !pbx.isEmpty())
        legs = tr("%1 on %2").arg(legs, pbx);
    return to.isEmpty() ? tr("the call from %1 (%2)").arg(from, legs)
                        : tr("the call from %1 to %2 (%3)").arg(from, to, legs);
}

QString CallEnder::question(const Choice& choice) const
{
    if (choice.conversations.size() == 1 && choice.legs.empty()) {
        const Conversation& conversation = *choice.conversations.front();
        const QString from = CallPresentation::fromText(conversation);
        const QString to = CallPresentation::toText(conversation);
        QString legs = channelCount(static_cast<int>(conversation.legs.size()));
        if (const QString pbx = pbxOf(conversation); !pbx.isEmpty())
            legs = tr("%1 on %2").arg(legs, pbx);
        return to.isEmpty() ? tr("End the call from %1 (%2)?").arg(from, legs)
                            : tr("End the call from %1 to %2 (%3)?").arg(from, to, legs);
    }
    if (choice.conversations.empty() && choice.legs.size() == 1) {
        const Leg& leg = *choice.legs.front();
        return tr("Hang up the channel %1 of %2?")
            .arg(channelText(leg), callText(*leg.conversation));
    }
    QStringList lines;
    for (const Conversation* conversation : choice.conversations)
        lines << tr("- %1").arg(callText(*conversation));
    for (const Leg* leg : choice.legs) {
        const QString pbx = pbxOf(*leg->conversation);
        lines << (pbx.isEmpty() ? tr("- the channel %1").arg(channelText(*leg))
                                : tr("- the channel %1 on %2").arg(channelText(*leg), pbx));
    }
    const int count = static_cast<int>(targetsOf(choice).size());
    return tr("Hang up %1?").arg(channelCount(count)) + QLatin1Char('\n') +
           lines.join(QLatin1Char('\n'));
}

void CallEnder::end(const std::vector<Target>& targets)
{
    // All are awaited before the first is asked for: a controller may answer before the request
    // returns, and the account comes once, when the last answer is in.
    QList<Target> fresh;
    std::vector<Target> unreachable;
    for (const Target& target : targets) {
        if (!calls.has(target.pbx))
            unreachable.push_back(target);
        // A hangup already on its way adds nothing: the PBX's answer names no channel, so its
        // session could not tell the two apart.
        else if (pending.insert(target).second)
            fresh.push_back(target);
    }
    for (const Target& target : unreachable)
        fail(target, tr("its PBX is no longer connected"));
    if (fresh.isEmpty()) {
        reportWhenDone();
        return;
    }
    emit progress(tr("Hanging up %1...").arg(channelCount(static_cast<int>(pending.size()))));
    emit hangUpRequested(fresh);
}

void CallEnder::finished(const Target& target, bool ok, const QString& reason)
{
    if (pending.erase(target) == 0)
        return; // not one of ours (the call list window's, or one already given up)
    // Ending one leg of a call often ends the others before their own hangups arrive, and the
    // PBX then knows no such channel: the leg is gone, which is what was asked for.
    if (ok || reason == QLatin1String(corvale::NoSuchChannel.data(),
                                      static_cast<qsizetype>(corvale::NoSuchChannel.size())))
        ++nEnded;
    else
        fail(target, reason);
    reportWhenDone();
}

void CallEnder::abandon(int pbx)
{
    for (auto it = pending.begin(); it != pending.end();) {
        if (it->pbx != pbx) {
            ++it;
            continue;
        }
        fail(*it, tr("no answer, the connection ended"));
        it = pending.erase(it);
    }
    reportWhenDone();
}

void CallEnder::fail(const Target& target, const QString& reason)
{
    failures << tr("%1: %2").arg(corvale::displayText(target.channel), reason);
}

void CallEnder::reportWhenDone()
{
    if (!pending.empty() || (nEnded == 0 && failures.isEmpty()))
        return;
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
