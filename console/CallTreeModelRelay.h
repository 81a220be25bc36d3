#pragma once

#include "CallTreeModel.h"
#include "CallTreeSource.h"
#include "Conversations.h"

#include <cstddef>

// Tells the model of one source's changes, naming the source: a Conversations has one listener
// and does not know which of the model's sources it is.
class CallTreeModel::Relay : public corvale::Conversations::Listener
{
public:
    Relay(CallTreeModel& toldModel, CallTreeSource& toldSource)
        : model(toldModel)
        , source(toldSource)
    {}
    void conversationAboutToBeAdded(std::size_t row) override
    {
        model.conversationAboutToBeAdded(source, row);
    }
    void conversationAdded() override { model.conversationAdded(source); }
    void conversationAboutToBeRemoved(std::size_t row) override
    {
        model.conversationAboutToBeRemoved(source, row);
    }
    void conversationRemoved() override { model.conversationRemoved(); }
    void legAboutToBeAdded(const corvale::Conversation& conversation, std::size_t position) override
    {
        model.legAboutToBeAdded(conversation, position);
    }
    void legAdded() override { model.legAdded(); }
    void legAboutToBeRemoved(const corvale::Conversation& conversation,
                             std::size_t position) override
    {
        model.legAboutToBeRemoved(conversation, position);
    }
    void legRemoved() override { model.legRemoved(); }
    void conversationChanged(const corvale::Conversation& conversation) override
    {
        model.conversationChanged(source, conversation);
    }
    void legChanged(const corvale::Conversation& conversation, std::size_t position) override
    {
        model.legChanged(conversation, position);
    }

private:
    CallTreeModel& model;
    CallTreeSource& source;
};
