#include "CallTreeView.h"

#include "CallRowDelegate.h"
#include "CallTreeModel.h"
#include "SortArrowStyle.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>

#include <algorithm>

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
    setItemDelegate(new CallRowDelegate(this));
    setAlternatingRowColors(true);
    setSortingEnabled(true);
    sortByColumn(CallTreeModel::Duration, Qt::DescendingOrder);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setSectionsMovable(true);
    SortArrowStyle::apply(*header());
    // The last column takes the room left, so the columns fit the window as it opens and no
    // scroll bar appears while they do.
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    // The filter may get its calls after the view is made: the columns start once they exist.
    startColumns();
    connect(header(), &QHeaderView::sectionCountChanged, this, [this](int before, int now) {
        if (before == 0 && now > 0)
            startColumns();
    });

    // Shift+F10 opens the menu as the Menu key does, where the desktop does not.
    auto* menuKey = new QAction(tr("Menu of the current row"), this);
    menuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WidgetShortcut);
    addAction(menuKey);
    connect(menuKey, &QAction::triggered, this, &CallTreeView::menuOfCurrentRow);
}

void CallTreeView::startColumns()
{
    if (header()->count() < CallTreeModel::ColumnCount)
        return;
    header()->resizeSection(CallTreeModel::From, 210);
    header()->resizeSection(CallTreeModel::To, 160);
    header()->resizeSection(CallTreeModel::Channels, 160);
    // Room for a queue's words: "Waiting in support, 2nd".
    header()->resizeSection(CallTreeModel::State, 170);
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

void CallTreeView::fitPbxName(const QString& name)
{
    // The cell's margins, as the style draws them around a text, and a little room.
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    nPbxWidth = std::max({nPbxWidth, header()->sectionSizeHint(CallTreeModel::Pbx),
                          fontMetrics().horizontalAdvance(name) + margins + 8});
    // Kept while hidden, for when it is shown.
    header()->resizeSection(CallTreeModel::Pbx, nPbxWidth);
}

void CallTreeView::menuOfCurrentRow()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    scrollTo(current);
    QRect row = visualRect(current);
    if (row.isEmpty())
        row = visualRect(current.siblingAtColumn(header()->logicalIndexAt(0)));
    emit customContextMenuRequested(row.center());
}

bool CallTreeView::event(QEvent* event)
{
    // The Menu key asks for the menu of the current row, where it stands: the position the
    // keyboard's event brings is not the viewport's.
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        menuOfCurrentRow();
        event->accept();
        return true;
    }
    return QTreeView::event(event);
}
