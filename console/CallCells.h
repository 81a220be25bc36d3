#pragma once

#include <QString>
#include <QVariant>

#include <chrono>

namespace corvale {
struct Conversation;
struct Leg;
class Queues;
} // namespace corvale

// What each cell of the console's tree holds for each role (CallTreeModel's columns and roles),
// from CallPresentation's rules; the model finds the row, these fill it. Texts are in the
// model's translation context.
namespace CallCells {

// What a cell needs of its PBX's connection.
struct Source
{
    const QString& pbx;                        // the PBX column's text
    std::chrono::steady_clock::time_point now; // the moment the durations are for
    bool stale = false; // the connection is gone: the calls are shown as not live
    // The PBX's queues, where the console has them: a waiting caller's row says so.
    const corvale::Queues* queues = nullptr;
};

QVariant conversationCell(const corvale::Conversation& conversation, int column, int role,
                          const Source& source);
QVariant legCell(const corvale::Leg& leg, int column, int role, const Source& source);
QVariant headerCell(int section, int role);

// What the filter looks in: the texts a row shows, but a conversation's duration (it changes
// every second) and the count of its legs (whose channels are their own rows' texts); and the
// queue and member it is in.
QString searchedText(const corvale::Conversation& conversation, const QString& pbx,
                     const corvale::Queues* queues = nullptr);
QString searchedText(const corvale::Leg& leg);

} // namespace CallCells
