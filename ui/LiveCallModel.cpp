#include "LiveCallModel.h"

#include "DisplayText.h"
#include "Wire.h"

#include <algorithm>

LiveCallModel::LiveCallModel(corvale::LiveCalls& liveCalls, QObject* parent)
    : QAbstractListModel(parent)
    , calls(liveCalls)
{
    calls.setListener(this);
}

LiveCallModel::~LiveCallModel()
{
    calls.setListener(nullptr);
}

int LiveCallModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return bPlaceholder ? 1 : static_cast<int>(nShown);
}

QVariant LiveCallModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
        return {};
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    if (bPlaceholder)
        return QString::fromLatin1(corvale::NoCallsEntry.data(),
                                   static_cast<qsizetype>(corvale::NoCallsEntry.size()));
    sEntry.clear();
    const corvale::EntryParts parts =
        calls.appendEntry(static_cast<std::size_t>(index.row()), calls.now(), sEntry);
    return corvale::displayText(sEntry, parts);
}

std::optional<std::string> LiveCallModel::channelAt(int row) const
{
    if (bPlaceholder || row < 0 || static_cast<std::size_t>(row) >= nShown)
        return std::nullopt;
    return calls.at(static_cast<std::size_t>(row)).channel;
}

void LiveCallModel::flush()
{
    const bool empty = calls.size() == 0;
    if (bPlaceholder && !empty) {
        beginRemoveRows(QModelIndex(), 0, 0);
        bPlaceholder = false;
        endRemoveRows();
    }
    if (calls.size() > nShown) {
        beginInsertRows(QModelIndex(), static_cast<int>(nShown),
                        static_cast<int>(calls.size()) - 1);
        nShown = calls.size();
        endInsertRows();
    }
    if (!bPlaceholder && empty && calls.listed()) {
        beginInsertRows(QModelIndex(), 0, 0);
        bPlaceholder = true;
        endInsertRows();
    }
}

void LiveCallModel::tick(int first, int last)
{
    if (bPlaceholder || nShown == 0)
        return;
    first = std::max(first, 0);
    last = std::min(last, static_cast<int>(nShown) - 1);
    if (first <= last)
        emit dataChanged(index(first), index(last), {Qt::DisplayRole});
}

void LiveCallModel::callsAboutToBeRemoved(std::size_t first, std::size_t last)
{
    // Calls still waiting for flush() were never rows.
    nRemoving = 0;
    if (first >= nShown)
        return;
    last = std::min(last, nShown - 1);
    beginRemoveRows(QModelIndex(), static_cast<int>(first), static_cast<int>(last));
    nRemoving = last - first + 1;
}

void LiveCallModel::callsRemoved()
{
    if (nRemoving == 0)
        return;
    nShown -= nRemoving;
    nRemoving = 0;
    endRemoveRows();
}

void LiveCallModel::callChanged(std::size_t row)
{
    if (row < nShown)
        emit dataChanged(index(static_cast<int>(row)), index(static_cast<int>(row)),
                         {Qt::DisplayRole});
}
