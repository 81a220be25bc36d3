#pragma once

#include <QString>
#include <QVariant>

namespace corvale {
struct Conversation;
struct Leg;
class Queues;
} // namespace corvale

// What each cell of the console's tree holds for each role (CallTreeModel's columns and roles),
// from CallPresentation's rules; the model finds the row, these fill it. Texts are in the
// model's translation context.
namespace CallCells {

// `queues`: the PBX's, where the console has them; a waiting caller's row says so.
QVariant conversationCell(const corvale::Conversation& conversation, int column, int role,
                          const QString& pbx, const corvale::Queues* queues = nullptr);
QVariant legCell(const corvale::Leg& leg, int column, int role, const QString& pbx);
QVariant headerCell(int section, int role);

// What the filter looks in: the texts a row shows, but a conversation's duration (it changes
// every second) and the count of its legs (whose channels are their own rows' texts); and the
// queue and member it is in.
QString searchedText(const corvale::Conversation& conversation, const QString& pbx,
                     const corvale::Queues* queues = nullptr);
QString searchedText(const corvale::Leg& leg);

} // namespace CallCells
