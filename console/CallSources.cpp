#include "CallSources.h"

#include "CallTreeModel.h"
#include "Conversations.h"

CallSources::CallSources()
    : tree(std::make_unique<CallTreeModel>())
{}

CallSources::~CallSources()
{
    // The model lets go of every grouping before it goes.
    for (const auto& [pbx, conversations] : grouped)
        tree->removeSource(pbx);
}

void CallSources::add(int pbx, corvale::LiveCalls& calls, const QString& name)
{
    remove(pbx);
    auto conversations = std::make_unique<corvale::Conversations>(calls);
    conversations->flush();
    tree->addSource(pbx, *conversations, name);
    if (const auto it = queued.find(pbx); it != queued.end())
        tree->setQueues(pbx, it->second);
    grouped.emplace(pbx, std::move(conversations));
}

void CallSources::remove(int pbx)
{
    const auto it = grouped.find(pbx);
    if (it == grouped.end())
        return;
    tree->removeSource(pbx);
    grouped.erase(it);
}

void CallSources::takeInNewCalls(int pbx)
{
    if (const auto it = grouped.find(pbx); it != grouped.end())
        it->second->flush();
}

const corvale::Conversations* CallSources::conversations(int pbx) const
{
    const auto it = grouped.find(pbx);
    return it != grouped.end() ? it->second.get() : nullptr;
}

corvale::Conversations* CallSources::conversations(int pbx)
{
    const auto it = grouped.find(pbx);
    return it != grouped.end() ? it->second.get() : nullptr;
}

int CallSources::pbxOf(const corvale::Conversation& conversation) const
{
    return tree->sourceOf(conversation);
}

void CallSources::setQueues(int pbx, const corvale::Queues* queues)
{
    if (queues != nullptr)
        queued[pbx] = queues;
    else
        queued.erase(pbx);
    tree->setQueues(pbx, queues);
}

void CallSources::setName(int pbx, const QString& name)
{
    tree->setPbxName(pbx, name);
}

QString CallSources::name(int pbx) const
{
    return tree->pbxName(pbx);
}
