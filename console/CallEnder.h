#pragma once

#include "Target.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <set>
#include <vector>

class CallSources;
namespace corvale {
struct Conversation;
struct Leg;
} // namespace corvale

// Ends what the operator chose: asks for one hangup per channel, each on its own PBX, and gives
// one account of how they went once every answer is in. It never waits: answers come in by
// finished(), or are given up by abandon().
class CallEnder : public QObject
{
    Q_OBJECT

public:
    // What the operator chose: whole conversations, and single legs of others.
    struct Choice
    {
        std::vector<const corvale::Conversation*> conversations;
        std::vector<const corvale::Leg*> legs;
        bool empty() const { return conversations.empty() && legs.empty(); }
    };

    explicit CallEnder(const CallSources& calls, QObject* parent = nullptr);

    // The question the operator is asked, naming what will end (and, while several PBXs' calls
    // are shown, the PBX each call is on).
    QString question(const Choice& choice) const;
    // The channels a choice ends, each once, a conversation's in the order of its legs.
    std::vector<Target> targetsOf(const Choice& choice) const;

    // Asks for the hangups not already awaited; one whose PBX is no longer shown fails at once.
    void end(const std::vector<Target>& targets);
    // A PBX's answer for one channel; ok also when the channel was gone.
    void finished(const Target& target, bool ok, const QString& reason);
    // A PBX's connection has ended: its answers still awaited will not come.
    void abandon(int pbx);
    std::size_t waiting() const { return pending.size(); }

signals:
    // For the controllers: each sends those on its PBX, and says finished() for each.
    void hangUpRequested(const QList<Target>& targets);
    // For the status bar.
    void progress(const QString& text);
    // For one box: each channel that could not be hung up, with the PBX's reason.
    void failed(const QString& text);

private:
    QString callText(const corvale::Conversation& conversation) const;
    QString pbxOf(const corvale::Conversation& conversation) const;
    void fail(const Target& target, const QString& reason);
    void reportWhenDone();

    const CallSources& calls;
    std::set<Target> pending;
    int nEnded = 0;
    QStringList failures;
};
