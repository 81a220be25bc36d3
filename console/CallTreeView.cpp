#include "CallTreeView.h"

#include "CallTreeModel.h"

#include <QHeaderView>

CallTreeView::CallTreeView(QAbstractItemModel& calls, QWidget* parent)
    : QTreeView(parent)
{
    setObjectName(QStringLiteral("callTree"));
    setAccessibleName(tr("Calls"));
    setModel(&calls);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setSortingEnabled(true);
    sortByColumn(CallTreeModel::Duration, Qt::DescendingOrder);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    header()->resizeSection(CallTreeModel::From, 230);
    header()->resizeSection(CallTreeModel::To, 200);
    header()->resizeSection(CallTreeModel::Channels, 190);
    header()->resizeSection(CallTreeModel::State, 80);
    header()->resizeSection(CallTreeModel::Duration, 80);
    // Shown once several PBXs are.
    setColumnHidden(CallTreeModel::Pbx, true);
}

QModelIndexList CallTreeView::rowsInView(int limit) const
{
    QModelIndexList rows;
    if (!isVisible())
        return rows;
    const int bottom = viewport()->height();
    for (QModelIndex at = indexAt(QPoint(1, 1)); at.isValid() && rows.size() < limit;
         at = indexBelow(at)) {
        if (visualRect(at).top() > bottom)
            break;
        rows << at;
    }
    return rows;
}
