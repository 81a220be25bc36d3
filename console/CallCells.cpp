#include "CallCells.h"

#include "CallPresentation.h"
#include "CallTreeModel.h"
#include "Conversations.h"
#include "CsvExport.h"
#include "session/DisplayText.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QStringList>
#include <QStyle>

using corvale::Conversation;
using corvale::Leg;
using namespace CallPresentation;

namespace CallCells {

namespace {

QString decoded(const std::string& bytes)
{
    return corvale::displayText(bytes);
}

QVariant staleForeground()
{
    // The theme's own greyed text: a connection that is gone shows calls that may have ended.
    return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
}

} // namespace

QString searchedText(const Conversation& conversation, const QString& pbx,
                     const corvale::Queues* queues)
{
    return QStringList{fromText(conversation), toText(conversation, queues),
                       stateText(conversation), pbx, queueSearchText(conversation, queues)}
        .join(QLatin1Char('\n'));
}

QString searchedText(const Leg& leg)
{
    const corvale::LiveCall& call = *leg.call;
    return QStringList{partyText(call.number, call.name), decoded(call.extension),
                       decoded(call.channel), decoded(call.state)}
        .join(QLatin1Char('\n'));
}

QVariant conversationCell(const Conversation& conversation, int column, int role,
                          const Source& source)
{
    const QString& pbx = source.pbx;
    const corvale::Queues* queues = source.queues;
    if (role == CallTreeModel::LongCallRole)
        return conversation.marked;
    if (role == Qt::ForegroundRole && source.stale)
        return staleForeground();
    if (conversation.marked) {
        if (role == Qt::FontRole) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        // A tint of the palette's highlight behind the theme's own text, so a dark theme stays
        // as readable as a light one; bold and the icon say it without colour.
        if (role == Qt::BackgroundRole) {
            QColor tint = QApplication::palette().color(QPalette::Highlight);
            tint.setAlpha(56);
            return tint;
        }
        if (role == Qt::DecorationRole && column == CallTreeModel::From) {
            static const QIcon longIcon =
                QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
            return longIcon;
        }
    }
    const bool shown = role == Qt::DisplayRole || role == Qt::ToolTipRole;
    switch (column) {
    case CallTreeModel::From:
        if (shown || role == CallTreeModel::SortRole)
            return fromText(conversation);
        if (role == Qt::AccessibleTextRole)
            return conversation.marked
                       ? CallTreeModel::tr("%1, long call").arg(fromText(conversation))
                       : fromText(conversation);
        break;
    case CallTreeModel::To:
        if (shown || role == CallTreeModel::SortRole || role == Qt::AccessibleTextRole)
            return toText(conversation, queues);
        break;
    case CallTreeModel::Channels:
        if (role == CallTreeModel::SortRole)
            return static_cast<int>(conversation.legs.size());
        if (role == Qt::AccessibleTextRole)
            return conversation.legs.size() == 1
                       ? CallTreeModel::tr("1 channel")
                       : CallTreeModel::tr("%n channels", nullptr,
                                           static_cast<int>(conversation.legs.size()));
        if (shown)
            return QString::number(conversation.legs.size());
        break;
    case CallTreeModel::State:
        if (shown || role == CallTreeModel::SortRole || role == Qt::AccessibleTextRole)
            return stateText(conversation, queues);
        break;
    case CallTreeModel::Duration: {
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        const auto seconds = secondsOf(conversation, source.queues, source.now);
        if (role == CallTreeModel::SortRole)
            return seconds ? *seconds : -1.0;
        if (shown || role == Qt::AccessibleTextRole)
            return seconds ? durationText(*seconds) : QString();
        break;
    }
    case CallTreeModel::Pbx:
        if (shown || role == CallTreeModel::SortRole || role == Qt::AccessibleTextRole)
            return pbx;
        break;
    default:
        break;
    }
    return {};
}

QVariant legCell(const Leg& leg, int column, int role, const Source& source)
{
    const QString& pbx = source.pbx;
    const corvale::LiveCall& call = *leg.call;
    if (role == Qt::ForegroundRole && source.stale)
        return staleForeground();
    if (role == CallTreeModel::ChannelRole)
        return QByteArray(call.channel.data(), static_cast<qsizetype>(call.channel.size()));
    if (role == CallTreeModel::LongCallRole)
        return false;
    const bool shown =
        role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole;
    switch (column) {
    case CallTreeModel::From:
        if (shown || role == CallTreeModel::SortRole)
            return partyText(call.number, call.name);
        break;
    case CallTreeModel::To:
        if (shown || role == CallTreeModel::SortRole)
            return decoded(call.extension);
        break;
    case CallTreeModel::Channels:
        if (shown || role == CallTreeModel::SortRole)
            return decoded(call.channel);
        break;
    case CallTreeModel::State:
        if (shown || role == CallTreeModel::SortRole)
            return decoded(call.state);
        break;
    case CallTreeModel::Duration: {
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        const auto seconds = secondsOf(leg, source.now);
        if (role == CallTreeModel::SortRole)
            return seconds ? *seconds : -1.0;
        if (shown)
            return seconds ? durationText(*seconds) : QString();
        break;
    }
    case CallTreeModel::Pbx:
        if (shown || role == CallTreeModel::SortRole)
            return pbx;
        break;
    default:
        break;
    }
    return {};
}

QVariant headerCell(int section, int role)
{
    // Exported as h:mm:ss and as seconds.
    if (role == CsvExport::DurationColumnRole)
        return section == CallTreeModel::Duration;
    if (role == Qt::DisplayRole) {
        switch (section) {
        case CallTreeModel::From:
            return CallTreeModel::tr("From");
        case CallTreeModel::To:
            return CallTreeModel::tr("To");
        case CallTreeModel::Channels:
            return CallTreeModel::tr("Channels");
        case CallTreeModel::State:
            return CallTreeModel::tr("State");
        case CallTreeModel::Duration:
            return CallTreeModel::tr("Duration");
        case CallTreeModel::Pbx:
            return CallTreeModel::tr("PBX");
        default:
            return {};
        }
    }
    if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
        switch (section) {
        case CallTreeModel::From:
            return CallTreeModel::tr("Calling party: number and name");
        case CallTreeModel::To:
            return CallTreeModel::tr("Called party: extension, or number and name once answered");
        case CallTreeModel::Channels:
            return CallTreeModel::tr("Channels: how many a call has, or a channel's name");
        case CallTreeModel::State:
            return CallTreeModel::tr("Channel state");
        case CallTreeModel::Duration:
            return CallTreeModel::tr("Duration in hours, minutes and seconds");
        case CallTreeModel::Pbx:
            return CallTreeModel::tr("PBX the call is on");
        default:
            return {};
        }
    }
    return {};
}

} // namespace CallCells
