#pragma once

#include "CallFilterModel.h"
#include "CallSources.h"
#include "CallTreeModel.h"
#include "Conversations.h"
#include "LiveCalls.h"

#include <QAbstractItemModelTester>

#include <chrono>
#include <functional>
#include <string>

// Live calls the test plays the client for: channels appear with what the client reads from
// their events, each with a Uniqueid in the order the test adds them (as a PBX numbers its
// channels), and a clock of the test's own. `added` takes the new calls in (a flush).
struct PlayedCalls
{
    std::chrono::steady_clock::time_point clock{};
    corvale::LiveCalls calls{std::locale::classic(), [this] { return clock; }};
    std::function<void()> added;
    int nCreated = 0;

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
        corvale::CallFields fields;
        fields.number = leg.number;
        fields.name = leg.name;
        fields.extension = leg.extension;
        fields.linkedid = leg.linkedid;
        fields.bridgeId = leg.bridgeId;
        fields.state = leg.state;
        calls.appeared(leg.channel, fields, "1700000000." + std::to_string(++nCreated));
        if (added)
            added();
    }
    // A later event for a channel.
    void change(const std::string& channel, const corvale::CallFields& fields)
    {
        calls.described(channel, fields);
    }
    void bridge(const std::string& channel, const std::string& bridgeId)
    {
        corvale::CallFields fields;
        fields.bridgeId = bridgeId;
        change(channel, fields);
    }
    void hangUp(const std::string& channel) { calls.hungUp(channel); }

    // A two-party call, bridged.
    void call(const std::string& tag, const std::string& number, const std::string& name,
              const std::string& agent)
    {
        add({"PJSIP/" + number + "-" + tag, number, name, agent, "L" + tag, "B" + tag});
        add({"PJSIP/" + agent + "-" + tag, agent, "Agent " + agent, "", "L" + tag, "B" + tag});
    }
};

// The console's model stack over played calls, shown as the PBX under the key 0.
struct ConsoleCalls : PlayedCalls
{
    CallSources sources;
    CallTreeModel& model = sources.model();
    CallFilterModel proxy;
    QAbstractItemModelTester modelCheck{&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest};

    ConsoleCalls()
    {
        sources.add(0, calls, QString());
        proxy.setSourceModel(&model);
        added = [this] { sources.takeInNewCalls(0); };
    }

    const corvale::Conversations& conversations() const { return *sources.conversations(0); }
};
