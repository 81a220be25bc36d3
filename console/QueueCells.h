#pragma once

#include <QString>
#include <QVariant>

#include <chrono>
#include <cstdint>
#include <string_view>

namespace corvale {
struct Queue;
struct QueueCaller;
struct QueueMember;
} // namespace corvale

// What each cell of the queues' tree holds for each role (QueueTreeModel's columns and roles);
// the model finds the row, these fill it. Texts are in the model's translation context.
namespace QueueCells {

// What a row needs to know of its PBX.
struct Context
{
    QString pbx;
    bool current = true;
    bool polled = false;
    int pollSeconds = 0;
    std::chrono::steady_clock::time_point now;
    std::int64_t wallSeconds = 0; // the desk's Unix time, to read the PBX's times against
};

QVariant queueCell(const corvale::Queue& queue, int column, int role, const Context& context);
QVariant callerCell(const corvale::QueueCaller& caller, int column, int role,
                    const Context& context, bool longWait);
QVariant memberCell(const corvale::QueueMember& member, int column, int role,
                    const Context& context);
QVariant headerCell(int section, int role);

// The PBX's bytes as the operator reads them.
QString text(std::string_view bytes);
// "NUMBER <NAME>", or whichever the PBX knows.
QString callerText(const corvale::QueueCaller& caller);
QString memberText(const corvale::QueueMember& member);
// "Free", "Paused (Lunch) since 10:32", ...
QString memberStateText(const corvale::QueueMember& member);

// What the filter looks in: the names and states a row shows, not its ticking times.
QString searchedText(const corvale::Queue& queue, const Context& context);
QString searchedText(const corvale::QueueCaller& caller);
QString searchedText(const corvale::QueueMember& member);

} // namespace QueueCells
