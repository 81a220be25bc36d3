#include "HistoryView.h"

#include "FilterFolding.h"
#include "FilterKeys.h"
#include "SortArrowStyle.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QVBoxLayout>

HistoryView::HistoryView(corvale::History& history, QWidget* parent)
    : QWidget(parent)
    , entries(history, &foldForFilter)
    , filtered(&foldForFilter)
    , filterEdit(new QLineEdit(this))
    , callBacks(new QCheckBox(tr("C&all-back list"), this))
    , table(new QTreeView(this))
    , bounds(new QLabel(HistoryModel::boundsNote(), this))
{
    setObjectName(QStringLiteral("historyPage"));
    filtered.setSourceModel(&entries);

    filterEdit->setObjectName(QStringLiteral("historyFilter"));
    filterEdit->setPlaceholderText(tr("Filter the history by number, name, PBX or how it ended"));
    filterEdit->setClearButtonEnabled(true);
    filterEdit->setAccessibleName(tr("Filter the history"));
    filterEdit->setAccessibleDescription(
        tr("Shows only the calls holding this text, regardless of case and accents"));
    callBacks->setObjectName(QStringLiteral("callBackList"));
    callBacks->setToolTip(tr("Only the callers who gave up waiting in a queue, to call them back"));
    bounds->setObjectName(QStringLiteral("historyBounds"));
    bounds->setWordWrap(true);

    table->setObjectName(QStringLiteral("historyTable"));
    table->setAccessibleName(tr("History"));
    table->setModel(&filtered);
    table->setRootIsDecorated(false);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setAllColumnsShowFocus(true);
    table->setUniformRowHeights(true);
    table->setAlternatingRowColors(true);
    table->setSortingEnabled(true);
    table->sortByColumn(HistoryModel::Ended, Qt::DescendingOrder);
    QHeaderView* header = table->header();
    header->setSectionsMovable(true);
    SortArrowStyle::apply(*header);
    header->setStretchLastSection(true);
    header->resizeSection(HistoryModel::Ended, 170);
    header->resizeSection(HistoryModel::From, 190);
    header->resizeSection(HistoryModel::To, 110);
    header->resizeSection(HistoryModel::Pbx, 90);
    header->resizeSection(HistoryModel::Duration, 70);

    auto* top = new QHBoxLayout;
    top->addWidget(filterEdit, 1);
    top->addWidget(callBacks);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->addLayout(top);
    layout->addWidget(table, 1);
    layout->addWidget(bounds);
    setTabOrder(filterEdit, callBacks);
    setTabOrder(callBacks, table);

    connect(filterEdit, &QLineEdit::textChanged, &filtered, &HistoryFilterModel::setFilterText);
    connect(callBacks, &QCheckBox::toggled, &filtered, &HistoryFilterModel::setAbandonedOnly);

    FilterKeys::attach(*filterEdit, *table);
}

HistoryView::~HistoryView()
{
    // The view watches the proxy, which watches the model: they let go in that order.
    delete table;
    filtered.setSourceModel(nullptr);
}

void HistoryView::focusFilter()
{
    FilterKeys::focus(*filterEdit);
}
