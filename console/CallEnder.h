#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class CallTreeModel;
namespace corvale {
struct Conversation;
struct Leg;
} // namespace corvale

// Ends what the operator chose: one hangup per channel, which the connection sends one at a
// time, and one account of how they went once every answer is in.
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

    explicit CallEnder(QObject* parent = nullptr);

    // The PBX's answer to a hangup of a channel it does not have.
    static constexpr const char* NoSuchChannel = "No such channel";

    // Asks the connection to hang up one channel; the answer comes to finished().
    std::function<void(const std::string& channel)> hangUp;

    // The question the operator is asked, naming what will end.
    static QString question(const CallTreeModel& model, const Choice& choice);
    // The channels a choice ends, each once, a conversation's in the order of its legs.
    static std::vector<std::string> channelsOf(const Choice& choice);

    void end(const std::vector<std::string>& channels);
    // The connection's answer for one channel.
    void finished(const std::string& channel, bool ok, const QString& reason);
    // The connection has gone: answers still awaited will not come.
    void abandon();
    std::size_t waiting() const { return pending.size(); }

signals:
    // For the status bar.
    void progress(const QString& text);
    // For one box: each channel that could not be hung up, with the PBX's reason.
    void failed(const QString& text);

private:
    void report();

    std::unordered_map<std::string, bool> pending; // channel -> answered
    int nEnded = 0;
    QStringList failures;
};
