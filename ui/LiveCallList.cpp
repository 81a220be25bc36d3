#include "LiveCallList.h"

#include <QListView>
#include <QScrollBar>

LiveCallList::LiveCallList(QListView& listView, corvale::LiveCalls& calls, QObject* parent)
    : QObject(parent)
    , view(listView)
    , liveCalls(calls)
    , rows(liveCalls)
{
    // Connected before the view is, so these see the rows and the selection as they were: a
    // view in single selection selects a neighbour of a current row that goes.
    connect(&rows, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { rowsAboutToGo(first, last); });
    connect(&rows, &QAbstractItemModel::rowsRemoved, this, &LiveCallList::rowsGone);
    view.setModel(&rows);

    ticker.setInterval(TickInterval);
    connect(&ticker, &QTimer::timeout, this, &LiveCallList::tick);
}

LiveCallList::~LiveCallList()
{
    if (view.model() == &rows)
        view.setModel(nullptr);
}

void LiveCallList::start()
{
    ticker.start();
}

void LiveCallList::stop()
{
    ticker.stop();
}

std::optional<std::string> LiveCallList::selectedChannel() const
{
    const QModelIndexList selected = view.selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return std::nullopt;
    return rows.channelAt(selected.front().row());
}

int LiveCallList::rowHeight() const
{
    return std::max(1, view.sizeHintForRow(0));
}

int LiveCallList::firstVisibleRow() const
{
    // From the scroll bar, which holds even while the view waits to lay its rows out again
    // (when asking the view for the row at a point finds none).
    const int value = view.verticalScrollBar()->value();
    return view.verticalScrollMode() == QAbstractItemView::ScrollPerPixel ? value / rowHeight()
                                                                          : value;
}

void LiveCallList::tick()
{
    // Only the rows on screen are asked for their text again.
    if (!view.isVisible() || rows.rowCount() == 0)
        return;
    const int first = firstVisibleRow();
    rows.tick(first, first + view.viewport()->height() / rowHeight() + 1);
}

void LiveCallList::rowsAboutToGo(int first, int last)
{
    const QModelIndex current = view.currentIndex();
    bCurrentGoes = current.isValid() && current.row() >= first && current.row() <= last;
    keptSelection = -1;
    const QModelIndexList selected = view.selectionModel()->selectedIndexes();
    if (!selected.isEmpty()) {
        const int row = selected.front().row();
        if (row < first)
            keptSelection = row;
        else if (row > last)
            keptSelection = row - (last - first + 1);
    }
    const int topRow = firstVisibleRow();
    removedAbove = topRow > first ? std::min(last + 1, topRow) - first : 0;
}

void LiveCallList::rowsGone()
{
    // A call that ends takes its selection with it. The view has made a neighbour of the
    // current row current and selected: undo that, so that nothing is selected that the
    // operator did not choose.
    if (bCurrentGoes) {
        QItemSelectionModel* selection = view.selectionModel();
        selection->clearCurrentIndex();
        if (keptSelection >= 0)
            selection->select(rows.index(keptSelection), QItemSelectionModel::ClearAndSelect);
        else
            selection->clearSelection();
    }
    bCurrentGoes = false;
    // Rows that go above the first visible one would pull the calls in view upwards: the view
    // moves up with them, so the operator keeps looking at the same calls.
    if (removedAbove > 0) {
        QScrollBar* bar = view.verticalScrollBar();
        const int step =
            view.verticalScrollMode() == QAbstractItemView::ScrollPerPixel ? rowHeight() : 1;
        bar->setValue(bar->value() - removedAbove * step);
    }
    removedAbove = 0;
}
