#include "QueueCells.h"

#include "CallPresentation.h"
#include "Queue.h"
#include "QueueTreeModel.h"
#include "session/DisplayText.h"

#include <QApplication>
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QIcon>
#include <QLocale>
#include <QPalette>
#include <QStringList>
#include <QStyle>

using corvale::Queue;
using corvale::QueueCaller;
using corvale::QueueMember;
using Model = QueueTreeModel;

namespace QueueCells {

namespace {

QString count(std::size_t n)
{
    return QString::number(n);
}

// Shared by every row of a PBX: greyed while its queues are not current, the polling told.
QVariant sourceCell(int role, const Context& context)
{
    if (role == Qt::ForegroundRole && !context.current)
        return QApplication::palette().color(QPalette::Disabled, QPalette::Text);
    return {};
}

QString serviceLevelText(const Queue& queue)
{
    if (!queue.serviceLevelPerf)
        return {};
    const QString percent = QLocale().toString(*queue.serviceLevelPerf, 'f', 1);
    return queue.serviceLevel > 0
               ? QueueTreeModel::tr("%1% within %2 s").arg(percent).arg(queue.serviceLevel)
               : QueueTreeModel::tr("%1%").arg(percent);
}

QString sinceText(std::int64_t unixSeconds)
{
    const QDateTime at = QDateTime::fromSecsSinceEpoch(unixSeconds);
    return QLocale().toString(at.time(), QLocale::ShortFormat);
}

QVariant number(int role, std::size_t n)
{
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Model::SortRole)
        return static_cast<qulonglong>(n);
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return count(n);
    return {};
}

QVariant seconds(int role, std::optional<std::int64_t> value)
{
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Model::SortRole)
        return static_cast<qlonglong>(value.value_or(-1));
    if (value && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
        return CallPresentation::durationText(static_cast<double>(*value));
    return {};
}

} // namespace

QString text(std::string_view bytes)
{
    return corvale::displayText(bytes);
}

QString callerText(const QueueCaller& caller)
{
    return CallPresentation::partyText(caller.number, caller.name);
}

QString memberText(const QueueMember& member)
{
    return text(member.name.empty() ? member.interface : member.name);
}

QString memberStateText(const QueueMember& member)
{
    switch (member.state()) {
    case corvale::MemberState::Free:
        return QueueTreeModel::tr("Free");
    case corvale::MemberState::Ringing:
        return QueueTreeModel::tr("Ringing");
    case corvale::MemberState::OnCall:
        return QueueTreeModel::tr("On a call");
    case corvale::MemberState::Unavailable:
        return QueueTreeModel::tr("Unavailable");
    case corvale::MemberState::Paused:
        break;
    }
    const QString reason = text(member.pausedReason);
    if (member.pausedAt <= 0)
        return reason.isEmpty() ? QueueTreeModel::tr("Paused")
                                : QueueTreeModel::tr("Paused (%1)").arg(reason);
    const QString since = sinceText(member.pausedAt);
    return reason.isEmpty() ? QueueTreeModel::tr("Paused since %1").arg(since)
                            : QueueTreeModel::tr("Paused (%1) since %2").arg(reason, since);
}

QString searchedText(const Queue& queue, const Context& context)
{
    return QStringList{text(queue.name), context.pbx}.join(QLatin1Char('\n'));
}

QString searchedText(const QueueCaller& caller)
{
    return QStringList{callerText(caller), text(caller.channel)}.join(QLatin1Char('\n'));
}

QString searchedText(const QueueMember& member)
{
    return QStringList{memberText(member), text(member.interface), memberStateText(member)}.join(
        QLatin1Char('\n'));
}

QVariant queueCell(const Queue& queue, int column, int role, const Context& context)
{
    if (QVariant shared = sourceCell(role, context); shared.isValid())
        return shared;
    if (role == Qt::ToolTipRole && context.polled)
        return QueueTreeModel::tr(
                   "No queue events come from this PBX for this user: its queues are "
                   "listed every %1 s.")
            .arg(context.pollSeconds);
    if (role == Model::LongWaitRole)
        return false;
    const bool shown = role == Qt::DisplayRole || role == Qt::ToolTipRole ||
                       role == Qt::AccessibleTextRole || role == Model::SortRole;
    const corvale::MemberCounts members = queue.counts();
    switch (column) {
    case Model::Name:
        return shown ? text(queue.name) : QVariant();
    case Model::State:
        return shown && !context.current ? QueueTreeModel::tr("Not current") : QVariant();
    case Model::Waiting:
        return number(role, queue.callers.size());
    case Model::Wait:
        return seconds(role, queue.callers.empty()
                                 ? std::nullopt
                                 : std::optional<std::int64_t>(queue.longestWait(context.now)));
    case Model::Answered:
        return number(role, queue.completed);
    case Model::Abandoned:
        return number(role, queue.abandoned);
    case Model::ServiceLevel:
        if (role == Model::SortRole)
            return queue.serviceLevelPerf.value_or(-1.0);
        return shown ? serviceLevelText(queue) : QVariant();
    case Model::LoggedIn:
        return number(role, members.loggedIn);
    case Model::Free:
        return number(role, members.free);
    case Model::OnCall:
        return number(role, members.onCall);
    case Model::Paused:
        return number(role, members.paused);
    case Model::Pbx:
        return shown ? context.pbx : QVariant();
    default:
        return {};
    }
}

QVariant callerCell(const QueueCaller& caller, int column, int role, const Context& context,
                    bool longWait)
{
    if (QVariant shared = sourceCell(role, context); shared.isValid())
        return shared;
    if (role == Model::LongWaitRole)
        return longWait;
    if (longWait) {
        // As long calls are: bold and an icon, so it shows without colour.
        if (role == Qt::FontRole) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        if (role == Qt::DecorationRole && column == Model::Name) {
            static const QIcon longIcon =
                QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
            return longIcon;
        }
    }
    const bool shown =
        role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole;
    switch (column) {
    case Model::Name:
        if (role == Model::SortRole)
            return caller.position; // callers keep their order under a sort by name
        if (role == Qt::AccessibleTextRole && longWait)
            return QueueTreeModel::tr("%1, long wait").arg(callerText(caller));
        return shown ? callerText(caller) : QVariant();
    case Model::State:
        if (role == Model::SortRole)
            return caller.position;
        return shown ? CallPresentation::waitingText(caller) : QVariant();
    case Model::Wait:
        return seconds(role, caller.waitSeconds(context.now));
    case Model::Pbx:
        return shown || role == Model::SortRole ? context.pbx : QVariant();
    default:
        return {};
    }
}

QVariant memberCell(const QueueMember& member, int column, int role, const Context& context)
{
    if (QVariant shared = sourceCell(role, context); shared.isValid())
        return shared;
    if (role == Model::LongWaitRole)
        return false;
    const bool shown =
        role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Model::SortRole;
    switch (column) {
    case Model::Name:
        if (role == Qt::ToolTipRole)
            return text(member.interface);
        return shown ? memberText(member) : QVariant();
    case Model::State:
        if (role == Model::SortRole)
            return static_cast<int>(member.state());
        return shown || role == Qt::ToolTipRole ? memberStateText(member) : QVariant();
    case Model::Wait:
        if (role == Qt::ToolTipRole && member.lastCall > 0)
            return QueueTreeModel::tr("Time since the last call ended");
        return seconds(role, member.lastCall > 0
                                 ? std::optional<std::int64_t>(std::max<std::int64_t>(
                                       context.wallSeconds - member.lastCall, 0))
                                 : std::nullopt);
    case Model::Answered:
        return number(role, member.callsTaken);
    case Model::Pbx:
        return shown ? context.pbx : QVariant();
    default:
        return {};
    }
}

QVariant headerCell(int section, int role)
{
    if (role == Qt::DisplayRole) {
        switch (section) {
        case Model::Name:
            return QueueTreeModel::tr("Queue");
        case Model::State:
            return QueueTreeModel::tr("State");
        case Model::Waiting:
            return QueueTreeModel::tr("Waiting");
        case Model::Wait:
            return QueueTreeModel::tr("Wait");
        case Model::Answered:
            return QueueTreeModel::tr("Answered");
        case Model::Abandoned:
            return QueueTreeModel::tr("Abandoned");
        case Model::ServiceLevel:
            return QueueTreeModel::tr("Service level");
        case Model::LoggedIn:
            return QueueTreeModel::tr("Logged in");
        case Model::Free:
            return QueueTreeModel::tr("Free");
        case Model::OnCall:
            return QueueTreeModel::tr("On a call");
        case Model::Paused:
            return QueueTreeModel::tr("Paused");
        case Model::Pbx:
            return QueueTreeModel::tr("PBX");
        default:
            return {};
        }
    }
    if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
        switch (section) {
        case Model::Name:
            return QueueTreeModel::tr("A queue, a caller waiting in it, or one of its members");
        case Model::State:
            return QueueTreeModel::tr("A caller's place in the queue, or what a member is doing");
        case Model::Waiting:
            return QueueTreeModel::tr("Callers waiting");
        case Model::Wait:
            return QueueTreeModel::tr(
                "The longest wait, a caller's wait, or the time since a member's "
                "last call");
        case Model::Answered:
            return QueueTreeModel::tr("Calls answered, or taken by a member");
        case Model::Abandoned:
            return QueueTreeModel::tr("Callers who gave up waiting");
        case Model::ServiceLevel:
            return QueueTreeModel::tr(
                "Calls answered within the service level, as the PBX reports it");
        case Model::LoggedIn:
            return QueueTreeModel::tr("Members logged in");
        case Model::Free:
            return QueueTreeModel::tr("Members free for a call");
        case Model::OnCall:
            return QueueTreeModel::tr("Members on a call");
        case Model::Paused:
            return QueueTreeModel::tr("Members paused");
        case Model::Pbx:
            return QueueTreeModel::tr("PBX the queue is on");
        default:
            return {};
        }
    }
    return {};
}

} // namespace QueueCells
