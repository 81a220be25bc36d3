#include "LiveCallList.h"

#include "ManagerClient.h"

#include <QListView>
#include <QScrollBar>

LiveCallList::LiveCallList(QListView& listView, corvale::ManagerClient& managerClient,
                           QObject* parent)
    : QObject(parent)
    , view(listView)
    , client(managerClient)
    , rows(liveCalls)
{
    view.setModel(&rows);
    // After the view's own handlers, which drop the rows from the selection.
    connect(&rows, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { rowsAboutToGo(first, last); });
    connect(&rows, &QAbstractItemModel::rowsRemoved, this, &LiveCallList::rowsGone);

    ticker.setInterval(TickInterval);
    connect(&ticker, &QTimer::timeout, this, &LiveCallList::tick);
    poller.setInterval(ListingInterval);
    connect(&poller, &QTimer::timeout, this, [this] { client.pollListing(); });
}

LiveCallList::~LiveCallList()
{
    if (view.model() == &rows)
        view.setModel(nullptr);
}

void LiveCallList::start()
{
    ticker.start();
    poller.start();
}

std::optional<std::string> LiveCallList::selectedChannel() const
{
    const QModelIndexList selected = view.selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return std::nullopt;
    return rows.channelAt(selected.front().row());
}

void LiveCallList::tick()
{
    // Only the rows on screen are asked for their text again.
    if (!view.isVisible() || rows.rowCount() == 0)
        return;
    const QRect area = view.viewport()->rect();
    const QModelIndex top = view.indexAt(area.topLeft());
    const QModelIndex bottom = view.indexAt(QPoint(area.left(), area.bottom()));
    rows.tick(top.isValid() ? top.row() : 0, bottom.isValid() ? bottom.row() : rows.rowCount() - 1);
}

void LiveCallList::rowsAboutToGo(int first, int last)
{
    const QModelIndex current = view.currentIndex();
    bCurrentGoes = current.isValid() && current.row() >= first && current.row() <= last;
    const QModelIndex top = view.indexAt(view.viewport()->rect().topLeft());
    topRow = top.isValid() ? top.row() : -1;
    removedAbove = topRow > first ? std::min(last + 1, topRow) - first : 0;
}

void LiveCallList::rowsGone()
{
    // A call that ends takes its selection with it; no neighbour becomes the current row, so
    // nothing is selected that the operator did not choose.
    if (bCurrentGoes)
        view.selectionModel()->clearCurrentIndex();
    bCurrentGoes = false;
    // Rows that go above the first visible one would pull the calls in view upwards: the view
    // moves up with them, so the operator keeps looking at the same calls.
    if (removedAbove > 0) {
        QScrollBar* bar = view.verticalScrollBar();
        const int step = view.verticalScrollMode() == QAbstractItemView::ScrollPerPixel
                             ? std::max(1, view.sizeHintForRow(0))
                             : 1;
        bar->setValue(bar->value() - removedAbove * step);
    }
    removedAbove = 0;
}
