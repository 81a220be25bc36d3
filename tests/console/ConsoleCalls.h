#pragma once

#include "CallFilterModel.h"
#include "CallTreeModel.h"
#include "Conversations.h"
#include "LiveCalls.h"

#include <QAbstractItemModelTester>

#include <chrono>
#include <functional>
#include <string>

// Live calls the test plays the client for: it adds channels, fills the fields the client reads
// from events, and moves a clock of its own. `added` takes the new calls in (a flush).
struct PlayedCalls
{
    std::chrono::steady_clock::time_point clock{};
    corvale::LiveCalls calls{std::locale::classic(), [this] { return clock; }};
    std::function<void()> added;

    struct Leg
    {
        std::string channel;
        std::string number;
        std::string name;
        std::string extension;
        std::string linkedid;
        std::string bridgeId;
        std::string state = "Up";
    };

    void add(const Leg& leg)
    {
        calls.appeared(leg.channel, {leg.number, leg.name, leg.extension});
        corvale::LiveCall& call = mutableCall(leg.channel);
        call.linkedid = leg.linkedid;
        call.bridgeId = leg.bridgeId;
        call.state = leg.state;
        if (added)
            added();
    }
    void hangUp(const std::string& channel) { calls.hungUp(channel); }

    // A two-party call, bridged.
    void call(const std::string& tag, const std::string& number, const std::string& name,
              const std::string& agent)
    {
        add({"PJSIP/" + number + "-" + tag, number, name, agent, "L" + tag, "B" + tag});
        add({"PJSIP/" + agent + "-" + tag, agent, "Agent " + agent, "", "L" + tag, "B" + tag});
    }

    corvale::LiveCall& mutableCall(const std::string& channel)
    {
        // These fields are the client's to fill from events; here the test plays the client.
        return const_cast<corvale::LiveCall&>(calls.at(*calls.rowOf(channel)));
    }
};

// The console's model stack over played calls.
struct ConsoleCalls : PlayedCalls
{
    corvale::Conversations conversations{calls};
    CallTreeModel model{conversations};
    CallFilterModel proxy;
    QAbstractItemModelTester modelCheck{&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest};

    ConsoleCalls()
    {
        proxy.setSourceModel(&model);
        added = [this] { conversations.flush(); };
    }

    void bridge(const std::string& channel, const std::string& bridgeId)
    {
        mutableCall(channel).bridgeId = bridgeId;
        conversations.callChanged(*calls.rowOf(channel));
    }
};
