#include "CallTreeModel.h"

#include "CallCells.h"
#include "CallPresentation.h"
#include "CallTreeModelRelay.h"
#include "FilterFolding.h"

#include <algorithm>
#include <cmath>
#include <optional>

using corvale::Conversation;
using corvale::Leg;
using namespace CallPresentation;

namespace {

// A conversation's row carries no id; a leg's row carries its conversation's.
constexpr quintptr TopLevel = 0;

} // namespace

// Legs' rows carry their source's serial above their conversation's id.
constexpr int SerialShift = 40;
constexpr quint64 IdMask = (quint64{1} << SerialShift) - 1;

CallTreeModel::CallTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
{}

CallTreeModel::~CallTreeModel()
{
    // Another model may have taken a source over since.
    for (const auto& source : sources)
        if (source->calls->listener() == source->relay.get())
            source->calls->setListener(nullptr);
}

void CallTreeModel::addSource(int key, corvale::Conversations& conversations, const QString& name)
{
    auto source = std::make_unique<CallTreeSource>();
    source->key = key;
    source->calls = &conversations;
    source->name = name;
    source->relay = std::make_unique<Relay>(*this, *source);
    const int first = rowCount();
    const auto size = static_cast<int>(conversations.size());
    if (size > 0)
        beginInsertRows(QModelIndex(), first, first + size - 1);
    conversations.setListener(source->relay.get());
    for (std::size_t row = 0; row < conversations.size(); ++row) {
        const Conversation& conversation = conversations.at(row);
        conversation.marked = isLong(conversation);
        nLong += conversation.marked ? 1 : 0;
    }
    sources.add(std::move(source));
    if (size > 0)
        endInsertRows();
}

void CallTreeModel::removeSource(int key)
{
    CallTreeSource* found = sources.withKey(key);
    if (found == nullptr)
        return;
    CallTreeSource& source = *found;
    const int first = sources.offsetOf(source);
    const auto size = static_cast<int>(source.calls->size());
    if (size > 0)
        beginRemoveRows(QModelIndex(), first, first + size - 1);
    source.calls->setListener(nullptr);
    for (std::size_t row = 0; row < source.calls->size(); ++row)
        nLong -= source.calls->at(row).marked ? 1 : 0;
    foldedConversations.clear();
    foldedLegs.clear();
    sources.remove(source);
    if (size > 0)
        endRemoveRows();
}

int CallTreeModel::sourceOf(const Conversation& conversation) const
{
    const CallTreeSource* source = sources.of(conversation);
    return source != nullptr ? source->key : -1;
}

quint64 CallTreeModel::foldKey(const CallTreeSource& source, const Conversation& conversation)
{
    return source.serial << SerialShift | conversation.id;
}

QModelIndex CallTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid()) {
        if (sources.at(row).first == nullptr)
            return {};
        return createIndex(row, column, TopLevel);
    }
    if (parent.internalId() != TopLevel)
        return {};
    const auto [source, local] = sources.at(parent.row());
    if (source == nullptr)
        return {};
    const Conversation& conversation = source->calls->at(local);
    if (static_cast<std::size_t>(row) >= conversation.legs.size())
        return {};
    return createIndex(row, column, static_cast<quintptr>(foldKey(*source, conversation)));
}

const Conversation* CallTreeModel::conversationOf(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    if (index.internalId() == TopLevel) {
        const auto [source, local] = sources.at(index.row());
        return source != nullptr ? &source->calls->at(local) : nullptr;
    }
    const CallTreeSource* source = sources.withSerial(index.internalId() >> SerialShift);
    return source != nullptr ? source->calls->find(index.internalId() & IdMask) : nullptr;
}

QModelIndex CallTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == TopLevel)
        return {};
    const Conversation* conversation = conversationOf(child);
    if (conversation == nullptr)
        return {};
    return indexOf(*conversation);
}

QModelIndex CallTreeModel::indexOf(const Conversation& conversation, int column) const
{
    const CallTreeSource* source = sources.of(conversation);
    if (source == nullptr)
        return {};
    return createIndex(sources.offsetOf(*source) +
                           static_cast<int>(source->calls->rowOf(conversation)),
                       column, TopLevel);
}

int CallTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return static_cast<int>(sources.rowCount());
    if (parent.internalId() != TopLevel || parent.column() != 0)
        return 0;
    const Conversation* conversation = conversationOf(parent);
    return conversation != nullptr ? static_cast<int>(conversation->legs.size()) : 0;
}

bool CallTreeModel::hasChildren(const QModelIndex& parent) const
{
    // Asked of every row as the proxy and the view follow changes: a conversation always has a
    // leg, so no lookup is needed.
    if (!parent.isValid())
        return rowCount() > 0;
    return parent.internalId() == TopLevel && parent.column() == 0 && parent.model() == this;
}

int CallTreeModel::columnCount(const QModelIndex&) const
{
    return ColumnCount;
}

const Conversation* CallTreeModel::conversationAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return conversationOf(index);
}

const Leg* CallTreeModel::legAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.internalId() == TopLevel)
        return nullptr;
    const Conversation* conversation = conversationOf(index);
    if (conversation == nullptr ||
        static_cast<std::size_t>(index.row()) >= conversation->legs.size())
        return nullptr;
    return conversation->legs[static_cast<std::size_t>(index.row())];
}

std::chrono::steady_clock::time_point CallTreeModel::nowOf(const CallTreeSource* source) const
{
    if (source == nullptr)
        return std::chrono::steady_clock::now();
    return source->staleSince ? *source->staleSince : source->calls->liveCalls().now();
}

double CallTreeModel::sortSeconds(const QModelIndex& index) const
{
    std::optional<double> seconds;
    if (const Leg* leg = legAt(index)) {
        seconds = secondsOf(*leg, nowOf(sources.of(*leg->conversation)));
    } else if (const Conversation* conversation = conversationAt(index)) {
        const CallTreeSource* source = sources.of(*conversation);
        seconds =
            secondsOf(*conversation, source != nullptr ? source->queues : nullptr, nowOf(source));
    }
    return seconds ? *seconds : -1.0;
}

bool CallTreeModel::isLong(const Conversation& conversation) const
{
    return isLong(conversation, nowOf(sources.of(conversation)));
}

bool CallTreeModel::isLong(const Conversation& conversation,
                           std::chrono::steady_clock::time_point now) const
{
    const auto seconds = secondsOf(conversation, now);
    return seconds && *seconds >= nLongSeconds;
}

void CallTreeModel::setStale(int key, bool stale)
{
    for (const auto& source : sources) {
        if (source->key != key || source->staleSince.has_value() == stale)
            continue;
        source->staleSince = stale ? std::optional(source->calls->liveCalls().now()) : std::nullopt;
        // Every row of the source and of its legs: their colour and their durations change.
        const int first = sources.offsetOf(*source);
        const int end = first + static_cast<int>(source->calls->size());
        if (end > first)
            emit dataChanged(index(first, 0), index(end - 1, ColumnCount - 1));
        for (int row = first; row < end; ++row)
            if (const QModelIndex call = index(row, 0); rowCount(call) > 0)
                emit dataChanged(index(0, 0, call),
                                 index(rowCount(call) - 1, ColumnCount - 1, call));
    }
}

QVariant CallTreeModel::conversationData(const Conversation& conversation, int column,
                                         int role) const
{
    const CallTreeSource* source = sources.of(conversation);
    const QString pbx = source != nullptr ? source->name : QString();
    const corvale::Queues* queues = source != nullptr ? source->queues : nullptr;
    if (role == FoldedRole) {
        const quint64 key = source != nullptr ? foldKey(*source, conversation) : conversation.id;
        auto it = foldedConversations.find(key);
        if (it == foldedConversations.end())
            it = foldedConversations.insert(
                key, foldForFilter(CallCells::searchedText(conversation, pbx, queues)));
        return *it;
    }
    const bool stale = source != nullptr && source->staleSince;
    return CallCells::conversationCell(conversation, column, role,
                                       {pbx, nowOf(source), stale, queues});
}

QVariant CallTreeModel::legData(const Leg& leg, int column, int role) const
{
    if (role == FoldedRole) {
        auto it = foldedLegs.find(&leg);
        if (it == foldedLegs.end())
            it = foldedLegs.insert(&leg, foldForFilter(CallCells::searchedText(leg)));
        return *it;
    }
    const CallTreeSource* source = sources.of(*leg.conversation);
    const QString pbx = source != nullptr ? source->name : QString();
    const bool stale = source != nullptr && source->staleSince;
    return CallCells::legCell(leg, column, role, {pbx, nowOf(source), stale});
}

QVariant CallTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.internalId() == TopLevel) {
        const Conversation* conversation = conversationOf(index);
        return conversation == nullptr ? QVariant()
                                       : conversationData(*conversation, index.column(), role);
    }
    const Leg* leg = legAt(index);
    return leg == nullptr ? QVariant() : legData(*leg, index.column(), role);
}

QVariant CallTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return orientation == Qt::Horizontal ? CallCells::headerCell(section, role) : QVariant();
}

QString CallTreeModel::pbxName(int key) const
{
    for (const auto& source : sources)
        if (source->key == key)
            return source->name;
    return {};
}

void CallTreeModel::setPbxName(int key, const QString& name)
{
    for (const auto& source : sources) {
        if (source->key != key || source->name == name)
            continue;
        source->name = name;
        foldedConversations.clear();
        foldedLegs.clear();
        const int first = sources.offsetOf(*source);
        const auto size = static_cast<int>(source->calls->size());
        if (size > 0)
            emit dataChanged(index(first, Pbx), index(first + size - 1, Pbx));
    }
}

void CallTreeModel::setQueues(int key, const corvale::Queues* queues)
{
    for (const auto& source : sources) {
        if (source->key != key || source->queues == queues)
            continue;
        source->queues = queues;
        redraw(*source);
    }
}

void CallTreeModel::redraw(const CallTreeSource& source)
{
    foldedConversations.clear();
    const int first = sources.offsetOf(source);
    const auto size = static_cast<int>(source.calls->size());
    if (size > 0)
        emit dataChanged(index(first, 0), index(first + size - 1, ColumnCount - 1));
}

void CallTreeModel::refreshChannels(int key, const std::vector<std::string>& channels, bool all)
{
    for (const auto& source : sources) {
        if (source->key != key)
            continue;
        if (all) {
            redraw(*source);
            continue;
        }
        for (const std::string& channel : channels)
            if (const Conversation* conversation = source->calls->conversationOf(channel))
                conversationChanged(*source, *conversation);
    }
}

void CallTreeModel::setLongCallSeconds(int seconds)
{
    nLongSeconds = std::max(seconds, 1);
    updateLongCalls();
}

int CallTreeModel::updateLongCalls()
{
    int count = 0;
    int at = 0;
    for (const auto& source : sources) {
        // One reading of the clock for all of a PBX's calls, not one for each of their legs; a
        // PBX whose connection is gone stays at the moment of the loss.
        const auto now = nowOf(&*source);
        for (std::size_t row = 0; row < source->calls->size(); ++row, ++at) {
            const Conversation& conversation = source->calls->at(row);
            const bool isLongNow = isLong(conversation, now);
            count += isLongNow ? 1 : 0;
            if (isLongNow == conversation.marked)
                continue;
            conversation.marked = isLongNow;
            emit dataChanged(index(at, 0), index(at, ColumnCount - 1));
        }
    }
    nLong = count;
    return count;
}

void CallTreeModel::tick(const QModelIndexList& rows)
{
    // Every duration grows alike, so the order by duration stays: the text is due again, not
    // the sort value, and a sorting proxy need not place these rows again.
    for (const QModelIndex& row : rows) {
        if (!row.isValid() || row.model() != this)
            continue;
        const QModelIndex cell = row.siblingAtColumn(Duration);
        emit dataChanged(cell, cell, {Qt::DisplayRole});
    }
}

void CallTreeModel::forget(const CallTreeSource& source, const Conversation& conversation)
{
    foldedConversations.remove(foldKey(source, conversation));
    for (const Leg* leg : conversation.legs)
        foldedLegs.remove(leg);
}

void CallTreeModel::conversationAboutToBeAdded(CallTreeSource& source, std::size_t row)
{
    source.nAddedRow = row;
    const int at = sources.offsetOf(source) + static_cast<int>(row);
    beginInsertRows(QModelIndex(), at, at);
}

void CallTreeModel::conversationAdded(CallTreeSource& source)
{
    // A call already long when it is first seen (a listing after the login) is marked at once.
    const Conversation& conversation = source.calls->at(source.nAddedRow);
    const bool marked = isLong(conversation);
    conversation.marked = marked;
    nLong += marked ? 1 : 0;
    sources.rowsMoved();
    endInsertRows();
}

void CallTreeModel::conversationAboutToBeRemoved(CallTreeSource& source, std::size_t row)
{
    const Conversation& conversation = source.calls->at(row);
    nLong -= conversation.marked ? 1 : 0;
    forget(source, conversation);
    const int at = sources.offsetOf(source) + static_cast<int>(row);
    beginRemoveRows(QModelIndex(), at, at);
}

void CallTreeModel::conversationRemoved()
{
    sources.rowsMoved();
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

void CallTreeModel::conversationChanged(const CallTreeSource& source,
                                        const Conversation& conversation)
{
    foldedConversations.remove(foldKey(source, conversation));
    const int row = sources.offsetOf(source) + static_cast<int>(source.calls->rowOf(conversation));
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void CallTreeModel::legChanged(const Conversation& conversation, std::size_t position)
{
    foldedLegs.remove(conversation.legs[position]);
    const QModelIndex parent = indexOf(conversation);
    const int row = static_cast<int>(position);
    emit dataChanged(index(row, 0, parent), index(row, ColumnCount - 1, parent));
}
