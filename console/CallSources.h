#pragma once

#include <QString>

#include <map>
#include <memory>

class CallTreeModel;
namespace corvale {
struct Conversation;
class Conversations;
class LiveCalls;
class Queues;
} // namespace corvale

// The calls the console shows: for each PBX, under a key of its controller's, the grouping of
// its live calls into conversations, and the one tree model over all of them.
class CallSources
{
public:
    CallSources();
    ~CallSources();
    CallSources(const CallSources&) = delete;
    CallSources& operator=(const CallSources&) = delete;

    // Shows a PBX's calls after the others' until remove(), which must come before the calls
    // are destroyed; a key in use is replaced.
    void add(int pbx, corvale::LiveCalls& calls, const QString& name);
    void remove(int pbx);
    // After each read of that PBX: its new calls are taken in (Conversations::flush()).
    void takeInNewCalls(int pbx);

    bool has(int pbx) const { return grouped.count(pbx) > 0; }
    std::size_t count() const { return grouped.size(); }
    const corvale::Conversations* conversations(int pbx) const;
    // The same, for those that follow a PBX's calls as they are grouped (the history).
    corvale::Conversations* conversations(int pbx);
    // The PBX a conversation is on; -1 for none shown.
    int pbxOf(const corvale::Conversation& conversation) const;
    // The PBX's queues (null: none), in whichever order they and its calls come and go.
    void setQueues(int pbx, const corvale::Queues* queues);
    void setName(int pbx, const QString& name);
    QString name(int pbx) const;

    CallTreeModel& model() { return *tree; }
    const CallTreeModel& model() const { return *tree; }

private:
    std::unique_ptr<CallTreeModel> tree;
    std::map<int, std::unique_ptr<corvale::Conversations>> grouped;
    std::map<int, const corvale::Queues*> queued;
};
