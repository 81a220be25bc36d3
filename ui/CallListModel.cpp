#include "CallListModel.h"

#include "DisplayText.h"

#include <algorithm>

CallListModel::CallListModel(QObject* parent)
    : QAbstractListModel(parent)
{}

int CallListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown.size());
}

QVariant CallListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 ||
        static_cast<std::size_t>(index.row()) >= shown.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return shown[static_cast<std::size_t>(index.row())].text;
    return {};
}

void CallListModel::addPending(std::string_view entry, const corvale::EntryParts& parts)
{
    pending.push_back({std::string(entry), parts});
}

void CallListModel::flush()
{
    if (pending.empty())
        return;
    const int first = static_cast<int>(shown.size());
    const int last = first + static_cast<int>(pending.size()) - 1;
    beginInsertRows(QModelIndex(), first, last);
    shown.reserve(shown.size() + pending.size());
    for (Pending& entry : pending) {
        QString text = corvale::displayText(entry.bytes, entry.parts);
        shown.push_back({std::move(entry.bytes), std::move(text), entry.parts[0]});
    }
    pending.clear();
    endInsertRows();
}

void CallListModel::clear()
{
    pending.clear();
    if (shown.empty())
        return;
    beginResetModel();
    shown.clear();
    endResetModel();
}

const std::string& CallListModel::bytesAt(int row) const
{
    return shown.at(static_cast<std::size_t>(row)).bytes;
}

std::string CallListModel::channelAt(int row) const
{
    const Entry& entry = shown.at(static_cast<std::size_t>(row));
    return entry.bytes.substr(0, entry.channelEnd);
}
