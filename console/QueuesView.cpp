#include "QueuesView.h"

#include "CallPresentation.h"
#include "DesktopNotifier.h"
#include "FilterKeys.h"
#include "PauseDialog.h"
#include "Queue.h"
#include "QueueCells.h"
#include "SortArrowStyle.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

QueuesView::QueuesView(QWidget* parent)
    : QWidget(parent)
    , notifier(new DesktopNotifier(this))
    , filterEdit(new QLineEdit(this))
    , queueTree(new QTreeView(this))
    , actPause(new QAction(tr("&Pause Member..."), this))
    , actUnpause(new QAction(tr("&Unpause Member"), this))
{
    setObjectName(QStringLiteral("queuesView"));
    filterEdit->setObjectName(QStringLiteral("queueFilterEdit"));
    filterEdit->setPlaceholderText(tr("Filter queues by queue, caller or member"));
    filterEdit->setClearButtonEnabled(true);
    filterEdit->setAccessibleName(tr("Filter queues"));
    filtered.setSourceModel(&queueModel);

    queueTree->setObjectName(QStringLiteral("queueTree"));
    queueTree->setAccessibleName(tr("Queues"));
    FilterKeys::attach(*filterEdit, *queueTree);
    queueTree->setModel(&filtered);
    queueTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    queueTree->setAllColumnsShowFocus(true);
    queueTree->setUniformRowHeights(true);
    queueTree->setAlternatingRowColors(true);
    queueTree->setSortingEnabled(true);
    // The PBX's order until the operator sorts: callers by position, members as listed.
    queueTree->sortByColumn(-1, Qt::AscendingOrder);
    queueTree->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView* header = queueTree->header();
    header->setSectionsMovable(true);
    SortArrowStyle::apply(*header);
    header->setStretchLastSection(false);
    header->resizeSection(QueueTreeModel::Name, 260);
    header->resizeSection(QueueTreeModel::State, 180);
    // The figures as wide as their headers, in whichever language.
    for (int column = QueueTreeModel::Waiting; column < QueueTreeModel::Pbx; ++column) {
        const QString title = queueModel.headerData(column, Qt::Horizontal).toString();
        const int least = column == QueueTreeModel::ServiceLevel ? 120
                          : column == QueueTreeModel::Wait       ? 70
                                                                 : 50;
        header->resizeSection(column,
                              std::max(header->fontMetrics().horizontalAdvance(title) + 18, least));
    }
    queueTree->setColumnHidden(QueueTreeModel::Pbx, true);

    actPause->setObjectName(QStringLiteral("actPauseMember"));
    actUnpause->setObjectName(QStringLiteral("actUnpauseMember"));
    actPause->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    actUnpause->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    for (QAction* action : {actPause, actUnpause}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
    }
    actPause->setToolTip(tr("Pause the selected member, with a reason (Ctrl+P)"));
    actUnpause->setToolTip(tr("Unpause the selected member (Ctrl+Shift+P)"));
    auto* tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("queueTools"));
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tools->addAction(actPause);
    tools->addAction(actUnpause);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);
    auto* top = new QHBoxLayout;
    top->addWidget(filterEdit, 1);
    top->addWidget(tools);
    layout->addLayout(top);
    layout->addWidget(queueTree, 1);
    setFocusProxy(queueTree);

    connect(filterEdit, &QLineEdit::textChanged, &filtered, &CallFilterModel::setFilterText);
    connect(actPause, &QAction::triggered, this, &QueuesView::pauseCurrent);
    connect(actUnpause, &QAction::triggered, this, &QueuesView::unpauseCurrent);
    connect(queueTree, &QWidget::customContextMenuRequested, this, &QueuesView::contextMenu);
    connect(queueTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &QueuesView::updateActions);
    // A member's state changes under the selection.
    connect(&queueModel, &QAbstractItemModel::dataChanged, this, &QueuesView::updateActions);

    askPause = [this](const QString& member, const QString& queue, QString& reason,
                      bool& everyQueue) {
        PauseDialog dialog(member, queue, this);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        reason = dialog.reason();
        everyQueue = dialog.everyQueue();
        return true;
    };
    notify = [this](const QString& title, const QString& body) {
        if (!notifier->show(title, body))
            emit message(body);
    };

    ticker.setInterval(1000);
    connect(&ticker, &QTimer::timeout, this, &QueuesView::tick);
    ticker.start();
    updateActions();
}

QueuesView::~QueuesView()
{
    // The view lets go of the proxy before the models, members, go.
    queueTree->setModel(nullptr);
    filtered.setSourceModel(nullptr);
}

void QueuesView::add(int pbx, corvale::Queues& queues, const QString& name)
{
    queueModel.addSource(pbx, queues, name);
    updatePbxColumn();
}

void QueuesView::remove(int pbx)
{
    queueModel.removeSource(pbx);
    updatePbxColumn();
    updateActions();
}

void QueuesView::updatePbxColumn()
{
    queueTree->setColumnHidden(QueueTreeModel::Pbx, queueModel.sourceCount() <= 1);
}

void QueuesView::setState(int pbx, bool current, bool polled, int pollSeconds)
{
    queueModel.setState(pbx, current, polled, pollSeconds);
}

void QueuesView::setLongWaitSeconds(int seconds)
{
    queueModel.setLongWaitSeconds(seconds);
}

QModelIndexList QueuesView::rowsInView() const
{
    QModelIndexList rows;
    if (!queueTree->isVisible())
        return rows;
    const int bottom = queueTree->viewport()->height();
    for (QModelIndex at = queueTree->indexAt(QPoint(1, 1)); at.isValid() && rows.size() < 1000;
         at = queueTree->indexBelow(at)) {
        if (queueTree->visualRect(at).top() > bottom)
            break;
        rows << filtered.mapToSource(at);
    }
    return rows;
}

void QueuesView::tick()
{
    const std::vector<QueueTreeModel::LongWait> passed = queueModel.updateLongWaits();
    queueModel.tick(rowsInView());
    if (!bNotify || !notify)
        return;
    for (const QueueTreeModel::LongWait& wait : passed) {
        const QString caller = wait.caller.isEmpty() ? tr("A caller") : wait.caller;
        const QString queue =
            queueModel.sourceCount() > 1 ? tr("%1 on %2").arg(wait.queue, wait.pbx) : wait.queue;
        notify(tr("Long wait in %1").arg(queue),
               tr("%1 has waited %2.")
                   .arg(caller, CallPresentation::durationText(static_cast<double>(wait.seconds))));
    }
}

QModelIndex QueuesView::currentSource() const
{
    return filtered.mapToSource(queueTree->currentIndex());
}

void QueuesView::updateActions()
{
    const corvale::QueueMember* member = queueModel.memberAt(currentSource());
    actPause->setEnabled(member != nullptr);
    actUnpause->setEnabled(member != nullptr && member->paused);
}

void QueuesView::pauseCurrent()
{
    const QModelIndex current = currentSource();
    const corvale::QueueMember* member = queueModel.memberAt(current);
    if (member == nullptr || !askPause)
        return;
    // Read before asking: the member may be gone by the time the operator answers.
    const int pbx = queueModel.keyAt(current);
    const QString interface = QueueCells::text(member->interface);
    const QString queue = QueueCells::text(member->queue->name);
    QString reason;
    bool everyQueue = false;
    if (!askPause(QueueCells::memberText(*member), queue, reason, everyQueue))
        return;
    emit pauseRequested(pbx, interface, true, everyQueue ? QString() : queue, reason);
    emit message(tr("Pausing %1...").arg(interface));
}

void QueuesView::unpauseCurrent()
{
    const QModelIndex current = currentSource();
    const corvale::QueueMember* member = queueModel.memberAt(current);
    if (member == nullptr)
        return;
    const QString interface = QueueCells::text(member->interface);
    emit pauseRequested(queueModel.keyAt(current), interface, false,
                        QueueCells::text(member->queue->name), QString());
    emit message(tr("Unpausing %1...").arg(interface));
}

void QueuesView::pauseFinished(int pbx, const QString& interface, bool ok, const QString& message,
                               bool permissionDenied)
{
    // With several PBXs, the member is named with its own.
    const QString member = queueModel.sourceCount() > 1
                               ? tr("%1 on %2").arg(interface, queueModel.pbxName(pbx))
                               : interface;
    if (permissionDenied)
        emit failure(tr("The PBX refused to pause or unpause %1: the manager user needs the "
                        "write class \"agent\".")
                         .arg(member));
    else if (ok)
        emit this->message(message.isEmpty() ? tr("%1: done").arg(member)
                                             : tr("%1: %2").arg(member, message));
    else
        emit this->message(tr("%1 could not be paused or unpaused: %2").arg(member, message));
}

void QueuesView::contextMenu(const QPoint& at)
{
    const QModelIndex index = queueTree->indexAt(at);
    if (!queueModel.memberAt(filtered.mapToSource(index)))
        return;
    queueTree->setCurrentIndex(index);
    QMenu menu(this);
    menu.addAction(actPause);
    menu.addAction(actUnpause);
    menu.exec(queueTree->viewport()->mapToGlobal(at));
}

void QueuesView::saveSettings(QSettings& settings) const
{
    settings.setValue(QStringLiteral("queueColumns"), queueTree->header()->saveState());
    settings.setValue(QStringLiteral("longWaitSeconds"), longWaitSeconds());
    settings.setValue(QStringLiteral("notifyLongWaits"), bNotify);
}

void QueuesView::restoreSettings(QSettings& settings)
{
    QHeaderView* header = queueTree->header();
    if (header->restoreState(settings.value(QStringLiteral("queueColumns")).toByteArray()))
        queueTree->sortByColumn(header->sortIndicatorSection(), header->sortIndicatorOrder());
    updatePbxColumn();
    setLongWaitSeconds(settings.value(QStringLiteral("longWaitSeconds"), 0).toInt());
    bNotify = settings.value(QStringLiteral("notifyLongWaits"), true).toBool();
}
