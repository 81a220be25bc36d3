#include "CallFilterModel.h"

#include "CallTreeModel.h"
#include "FilterFolding.h"

CallFilterModel::CallFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(CallTreeModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSortLocaleAware(true);
    setDynamicSortFilter(true);
    // A conversation stays when one of its legs matches, and shows all its legs when it matches.
    setRecursiveFilteringEnabled(true);
    setAutoAcceptChildRows(true);
}

void CallFilterModel::setFilterText(const QString& text)
{
    const QString folded = foldForFilter(text.trimmed());
    const bool changed = text != sTyped;
    sTyped = text;
    if (folded != sFolded) {
        sFolded = folded;
        invalidateFilter();
    }
    if (changed)
        emit filterTextChanged(text);
}

bool CallFilterModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return QSortFilterProxyModel::hasChildren(parent);
    const QModelIndex source = mapToSource(parent);
    return source.isValid() && sourceModel()->hasChildren(source);
}

bool CallFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (sFolded.isEmpty())
        return true;
    const QModelIndex row = sourceModel()->index(sourceRow, 0, sourceParent);
    return row.data(CallTreeModel::FoldedRole).toString().contains(sFolded);
}

bool CallFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    // Durations compared as numbers straight from the calls, without a QVariant for each side
    // of each of the n log n comparisons.
    const auto* calls = qobject_cast<const CallTreeModel*>(sourceModel());
    if (calls != nullptr && left.column() == CallTreeModel::Duration)
        return calls->sortSeconds(left) < calls->sortSeconds(right);
    return QSortFilterProxyModel::lessThan(left, right);
}
