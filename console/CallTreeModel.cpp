#include "CallTreeModel.h"

#include "CallFilterModel.h"
#include "session/DisplayText.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStyle>

#include <algorithm>
#include <cmath>

using corvale::Conversation;
using corvale::Leg;

namespace {

// A conversation's row carries no id; a leg's row carries its conversation's.
constexpr quintptr TopLevel = 0;

constexpr std::string_view Unknown = "<unknown>";

QString decoded(const std::string& bytes)
{
    return corvale::displayText(bytes);
}

bool bridged(const Leg* leg)
{
    return !leg->call->bridgeId.empty() || !leg->call->bridgedTo.empty();
}

} // namespace

CallTreeModel::CallTreeModel(corvale::Conversations& conversations, QObject* parent)
    : QAbstractItemModel(parent)
    , calls(conversations)
{
    calls.setListener(this);
}

CallTreeModel::~CallTreeModel()
{
    calls.setListener(nullptr);
}

QModelIndex CallTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid()) {
        if (static_cast<std::size_t>(row) >= calls.size())
            return {};
        return createIndex(row, column, TopLevel);
    }
    if (parent.internalId() != TopLevel)
        return {};
    const Conversation& conversation = calls.at(static_cast<std::size_t>(parent.row()));
    if (static_cast<std::size_t>(row) >= conversation.legs.size())
        return {};
    return createIndex(row, column, static_cast<quintptr>(conversation.id));
}

QModelIndex CallTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == TopLevel)
        return {};
    const Conversation* conversation = calls.find(child.internalId());
    if (conversation == nullptr)
        return {};
    return indexOf(*conversation);
}

QModelIndex CallTreeModel::indexOf(const Conversation& conversation, int column) const
{
    return createIndex(static_cast<int>(calls.rowOf(conversation)), column, TopLevel);
}

int CallTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return static_cast<int>(calls.size());
    if (parent.internalId() != TopLevel || parent.column() != 0)
        return 0;
    return static_cast<int>(calls.at(static_cast<std::size_t>(parent.row())).legs.size());
}

int CallTreeModel::columnCount(const QModelIndex&) const
{
    return ColumnCount;
}

const Conversation* CallTreeModel::conversationAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    if (index.internalId() == TopLevel)
        return &calls.at(static_cast<std::size_t>(index.row()));
    return calls.find(index.internalId());
}

const Leg* CallTreeModel::legAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.internalId() == TopLevel)
        return nullptr;
    const Conversation* conversation = calls.find(index.internalId());
    if (conversation == nullptr ||
        static_cast<std::size_t>(index.row()) >= conversation->legs.size())
        return nullptr;
    return conversation->legs[static_cast<std::size_t>(index.row())];
}

QString CallTreeModel::partyText(const std::string& number, const std::string& name)
{
    // The PBX says "<unknown>" where it knows nothing; "5552001 <<unknown>>" would say less.
    const auto known = [](const std::string& text) { return !text.empty() && text != Unknown; };
    if (!known(name))
        return known(number) ? decoded(number) : QString();
    if (!known(number))
        return decoded(name);
    return QStringLiteral("%1 <%2>").arg(decoded(number), decoded(name));
}

QString CallTreeModel::durationText(double seconds)
{
    const auto whole = static_cast<qint64>(std::floor(std::max(seconds, 0.0)));
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

std::optional<double> CallTreeModel::secondsOf(const Leg& leg) const
{
    const corvale::LiveCall& call = *leg.call;
    if (!call.seconds)
        return std::nullopt;
    // Not rounded: two calls compare the same way whenever they are compared.
    const std::chrono::duration<double> since = calls.liveCalls().now() - call.since;
    return *call.seconds + std::max(since.count(), 0.0);
}

std::optional<double> CallTreeModel::secondsOf(const Conversation& conversation) const
{
    std::optional<double> longest;
    for (const Leg* leg : conversation.legs)
        if (const auto seconds = secondsOf(*leg); seconds && (!longest || *seconds > *longest))
            longest = seconds;
    return longest;
}

double CallTreeModel::sortSeconds(const QModelIndex& index) const
{
    std::optional<double> seconds;
    if (const Leg* leg = legAt(index))
        seconds = secondsOf(*leg);
    else if (const Conversation* conversation = conversationAt(index))
        seconds = secondsOf(*conversation);
    return seconds ? *seconds : -1.0;
}

const Leg& CallTreeModel::callerOf(const Conversation& conversation) const
{
    // The leg that started first: the caller. Legs are kept in the order the client first saw
    // them, which for calls already up at the login is the listing's order, not their age.
    const Leg* caller = conversation.legs.front();
    std::optional<double> longest = secondsOf(*caller);
    for (const Leg* leg : conversation.legs)
        if (const auto seconds = secondsOf(*leg); seconds && (!longest || *seconds > *longest)) {
            longest = seconds;
            caller = leg;
        }
    return *caller;
}

QString CallTreeModel::fromText(const Conversation& conversation) const
{
    const corvale::LiveCall& caller = *callerOf(conversation).call;
    return partyText(caller.number, caller.name);
}

QString CallTreeModel::toText(const Conversation& conversation) const
{
    // Once bridged, the other party is the first leg after the caller that is not a half of a
    // Local channel (the agent behind a queue's Local channel, not the queue's own leg).
    const auto& legs = conversation.legs;
    const Leg& caller = callerOf(conversation);
    const bool anyBridged = std::any_of(legs.begin(), legs.end(), bridged);
    if (anyBridged && legs.size() > 1) {
        const Leg* other = nullptr;
        for (const Leg* leg : legs)
            if (leg != &caller && leg->localHalf.empty()) {
                other = leg;
                break;
            }
        if (other == nullptr)
            other = legs.back() != &caller ? legs.back() : legs.front();
        const QString party = partyText(other->call->number, other->call->name);
        if (!party.isEmpty())
            return party;
    }
    return decoded(caller.call->extension);
}

QString CallTreeModel::stateText(const Conversation& conversation) const
{
    QStringList states;
    for (const Leg* leg : conversation.legs) {
        const QString state = decoded(leg->call->state);
        if (!state.isEmpty() && !states.contains(state))
            states << state;
    }
    return states.join(QStringLiteral(", "));
}

bool CallTreeModel::isLong(const Conversation& conversation) const
{
    const auto seconds = secondsOf(conversation);
    return seconds && *seconds >= nLongSeconds;
}

QVariant CallTreeModel::conversationData(const Conversation& conversation, int column,
                                         int role) const
{
    if (role == FoldedRole) {
        auto it = foldedConversations.find(conversation.id);
        if (it == foldedConversations.end()) {
            const QString text =
                QStringList{fromText(conversation), toText(conversation), stateText(conversation)}
                    .join(QLatin1Char('\n'));
            it = foldedConversations.insert(conversation.id, CallFilterModel::fold(text));
        }
        return *it;
    }
    if (role == LongCallRole)
        return conversation.marked;
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
        if (role == Qt::DecorationRole && column == From) {
            if (longIcon.isNull())
                longIcon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
            return longIcon;
        }
    }
    const bool shown = role == Qt::DisplayRole || role == Qt::ToolTipRole;
    switch (column) {
    case From:
        if (shown || role == SortRole)
            return fromText(conversation);
        if (role == Qt::AccessibleTextRole)
            return conversation.marked ? tr("%1, long call").arg(fromText(conversation))
                                       : fromText(conversation);
        break;
    case To:
        if (shown || role == SortRole || role == Qt::AccessibleTextRole)
            return toText(conversation);
        break;
    case Channels:
        if (role == SortRole)
            return static_cast<int>(conversation.legs.size());
        if (role == Qt::AccessibleTextRole)
            return conversation.legs.size() == 1
                       ? tr("1 channel")
                       : tr("%n channels", nullptr, static_cast<int>(conversation.legs.size()));
        if (shown)
            return QString::number(conversation.legs.size());
        break;
    case State:
        if (shown || role == SortRole || role == Qt::AccessibleTextRole)
            return stateText(conversation);
        break;
    case Duration: {
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        const auto seconds = secondsOf(conversation);
        if (role == SortRole)
            return seconds ? *seconds : -1.0;
        if (shown || role == Qt::AccessibleTextRole)
            return seconds ? durationText(*seconds) : QString();
        break;
    }
    case Pbx:
        if (shown || role == SortRole || role == Qt::AccessibleTextRole)
            return sPbx;
        break;
    default:
        break;
    }
    return {};
}

QVariant CallTreeModel::legData(const Leg& leg, int column, int role) const
{
    const corvale::LiveCall& call = *leg.call;
    if (role == FoldedRole) {
        auto it = foldedLegs.find(&leg);
        if (it == foldedLegs.end()) {
            const QString text =
                QStringList{partyText(call.number, call.name), decoded(call.extension),
                            decoded(call.channel), decoded(call.state)}
                    .join(QLatin1Char('\n'));
            it = foldedLegs.insert(&leg, CallFilterModel::fold(text));
        }
        return *it;
    }
    if (role == ChannelRole)
        return QByteArray(call.channel.data(), static_cast<qsizetype>(call.channel.size()));
    if (role == LongCallRole)
        return false;
    const bool shown =
        role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole;
    switch (column) {
    case From:
        if (shown || role == SortRole)
            return partyText(call.number, call.name);
        break;
    case To:
        if (shown || role == SortRole)
            return decoded(call.extension);
        break;
    case Channels:
        if (shown || role == SortRole)
            return decoded(call.channel);
        break;
    case State:
        if (shown || role == SortRole)
            return decoded(call.state);
        break;
    case Duration: {
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        const auto seconds = secondsOf(leg);
        if (role == SortRole)
            return seconds ? *seconds : -1.0;
        if (shown)
            return seconds ? durationText(*seconds) : QString();
        break;
    }
    case Pbx:
        if (shown || role == SortRole)
            return sPbx;
        break;
    default:
        break;
    }
    return {};
}

QVariant CallTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.internalId() == TopLevel) {
        if (static_cast<std::size_t>(index.row()) >= calls.size())
            return {};
        return conversationData(calls.at(static_cast<std::size_t>(index.row())), index.column(),
                                role);
    }
    const Leg* leg = legAt(index);
    return leg == nullptr ? QVariant() : legData(*leg, index.column(), role);
}

QVariant CallTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
        case From:
            return tr("From");
        case To:
            return tr("To");
        case Channels:
            return tr("Channels");
        case State:
            return tr("State");
        case Duration:
            return tr("Duration");
        case Pbx:
            return tr("PBX");
        default:
            return {};
        }
    }
    if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
        switch (section) {
        case From:
            return tr("Calling party: number and name");
        case To:
            return tr("Called party: extension, or number and name once answered");
        case Channels:
            return tr("Channels: how many a call has, or a channel's name");
        case State:
            return tr("Channel state");
        case Duration:
            return tr("Duration in hours, minutes and seconds");
        case Pbx:
            return tr("PBX the call is on");
        default:
            return {};
        }
    }
    return {};
}

void CallTreeModel::setPbxName(const QString& name)
{
    if (name == sPbx)
        return;
    sPbx = name;
    foldedConversations.clear();
    foldedLegs.clear();
    if (calls.size() > 0)
        emit dataChanged(index(0, Pbx), index(static_cast<int>(calls.size()) - 1, Pbx));
}

void CallTreeModel::setLongCallSeconds(int seconds)
{
    nLongSeconds = std::max(seconds, 1);
    updateLongCalls();
}

int CallTreeModel::updateLongCalls()
{
    int count = 0;
    for (std::size_t row = 0; row < calls.size(); ++row) {
        const Conversation& conversation = calls.at(row);
        const bool now = isLong(conversation);
        count += now ? 1 : 0;
        if (now == conversation.marked)
            continue;
        conversation.marked = now;
        const int at = static_cast<int>(row);
        emit dataChanged(index(at, 0), index(at, ColumnCount - 1));
    }
    nLong = count;
    return count;
}

void CallTreeModel::tick(const QModelIndexList& rows)
{
    for (const QModelIndex& row : rows) {
        if (!row.isValid() || row.model() != this)
            continue;
        const QModelIndex cell = row.siblingAtColumn(Duration);
        emit dataChanged(cell, cell, {Qt::DisplayRole, SortRole});
    }
}

void CallTreeModel::forget(const Conversation& conversation)
{
    foldedConversations.remove(conversation.id);
    for (const Leg* leg : conversation.legs)
        foldedLegs.remove(leg);
}

void CallTreeModel::conversationAboutToBeAdded(std::size_t row)
{
    nAddedRow = row;
    beginInsertRows(QModelIndex(), static_cast<int>(row), static_cast<int>(row));
}

void CallTreeModel::conversationAdded()
{
    // A call already long when it is first seen (a listing after the login) is marked at once.
    const Conversation& conversation = calls.at(nAddedRow);
    const bool marked = isLong(conversation);
    conversation.marked = marked;
    nLong += marked ? 1 : 0;
    endInsertRows();
}

void CallTreeModel::conversationAboutToBeRemoved(std::size_t row)
{
    const Conversation& conversation = calls.at(row);
    nLong -= conversation.marked ? 1 : 0;
    forget(conversation);
    beginRemoveRows(QModelIndex(), static_cast<int>(row), static_cast<int>(row));
}

void CallTreeModel::conversationRemoved()
{
    endRemoveRows();
}

void CallTreeModel::legAboutToBeAdded(const Conversation& conversation, std::size_t position)
{
    beginInsertRows(indexOf(conversation), static_cast<int>(position), static_cast<int>(position));
}

void CallTreeModel::legAdded()
{
    endInsertRows();
}

void CallTreeModel::legAboutToBeRemoved(const Conversation& conversation, std::size_t position)
{
    foldedLegs.remove(conversation.legs[position]);
    beginRemoveRows(indexOf(conversation), static_cast<int>(position), static_cast<int>(position));
}

void CallTreeModel::legRemoved()
{
    endRemoveRows();
}

void CallTreeModel::conversationChanged(const Conversation& conversation)
{
    foldedConversations.remove(conversation.id);
    const int row = static_cast<int>(calls.rowOf(conversation));
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void CallTreeModel::legChanged(const Conversation& conversation, std::size_t position)
{
    foldedLegs.remove(conversation.legs[position]);
    const QModelIndex parent = indexOf(conversation);
    const int row = static_cast<int>(position);
    emit dataChanged(index(row, 0, parent), index(row, ColumnCount - 1, parent));
}
