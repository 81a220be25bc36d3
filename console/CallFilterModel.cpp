#include "CallFilterModel.h"

#include "CallTreeModel.h"

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

QString CallFilterModel::fold(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out.toCaseFolded();
}

void CallFilterModel::setFilterText(const QString& text)
{
    const QString folded = fold(text.trimmed());
    sTyped = text;
    if (folded == sFolded)
        return;
    sFolded = folded;
    invalidateFilter();
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
