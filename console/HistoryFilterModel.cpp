#include "HistoryFilterModel.h"

#include "HistoryModel.h"

HistoryFilterModel::HistoryFilterModel(Fold fold, QObject* parent)
    : QSortFilterProxyModel(parent)
    , folder(std::move(fold))
{
    setSortRole(HistoryModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSortLocaleAware(true);
    setDynamicSortFilter(true);
}

void HistoryFilterModel::setFilterText(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QString folded = folder ? folder(trimmed) : trimmed;
    sTyped = text;
    if (folded == sFolded)
        return;
    sFolded = folded;
    invalidateFilter();
}

void HistoryFilterModel::setAbandonedOnly(bool only)
{
    if (only == bAbandonedOnly)
        return;
    bAbandonedOnly = only;
    invalidateFilter();
}

bool HistoryFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex row = sourceModel()->index(sourceRow, 0, sourceParent);
    if (bAbandonedOnly && !row.data(HistoryModel::AbandonedRole).toBool())
        return false;
    return sFolded.isEmpty() || row.data(HistoryModel::FoldedRole).toString().contains(sFolded);
}
