#include "ConsoleWindow.h"

#include "CallTreeModel.h"
#include "CallTreeView.h"
#include "ConsoleActions.h"
#include "ConsoleSettings.h"
#include "ConsoleStatusBar.h"
#include "HistoryView.h"
#include "PreferencesDialog.h"
#include "QueuesView.h"
#include "ViewExport.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <unordered_set>

namespace {

// How long a hangup's result stays in the status bar.
constexpr int ResultMilliseconds = 15000;

} // namespace

ConsoleWindow::ConsoleWindow(QWidget* parent)
    : QMainWindow(parent)
    , filterEdit(new QLineEdit(this))
    , callTree(new CallTreeView(filtered, this))
    , statusLine(new ConsoleStatusBar(calls.model(), filtered, this))
{
    setObjectName(QStringLiteral("ConsoleWindow"));
    setWindowTitle(tr("Corvale Console"));

    filterEdit->setObjectName(QStringLiteral("filterEdit"));
    filterEdit->setPlaceholderText(tr("Filter calls by number, name, extension or channel"));
    filterEdit->setClearButtonEnabled(true);
    filterEdit->setAccessibleName(tr("Filter calls"));
    filterEdit->setAccessibleDescription(
        tr("Shows only the calls holding this text, regardless of case and accents"));

    filtered.setSourceModel(&calls.model());
    calls.model().setLongCallSeconds(nLongMinutes * 60);

    // The calls are the first of the views; the queues and the history join them as tabs.
    auto* callPage = new QWidget(this);
    auto* layout = new QVBoxLayout(callPage);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->addWidget(filterEdit);
    layout->addWidget(callTree, 1);
    viewTabs = new QTabWidget(this);
    viewTabs->setObjectName(QStringLiteral("views"));
    viewTabs->setDocumentMode(true);
    viewTabs->addTab(callPage, tr("Calls"));
    connect(viewTabs, &QTabWidget::currentChanged, this, &ConsoleWindow::updateActions);
    queueView = new QueuesView(viewTabs);
    viewTabs->addTab(queueView, tr("Queues"));
    historyPage = new HistoryView(ended.history(), this);
    viewTabs->addTab(historyPage, tr("History"));
    setCentralWidget(viewTabs);
    exports = new ViewExport(*viewTabs, *this);
    setTabOrder(filterEdit, callTree);

    setStatusBar(statusLine);
    commands = new ConsoleActions(*this, *callTree, *filterEdit);
    connect(commands->preferencesAction(), &QAction::triggered, this, &ConsoleWindow::preferences);

    connect(filterEdit, &QLineEdit::textChanged, &filtered, &CallFilterModel::setFilterText);
    connect(callTree, &QWidget::customContextMenuRequested, this, &ConsoleWindow::contextMenu);
    connect(callTree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ConsoleWindow::updateActions);
    connect(&hangups, &CallEnder::progress, this, &ConsoleWindow::showMessage);
    connect(&hangups, &CallEnder::failed, this, [this](const QString& text) {
        if (showFailure)
            showFailure(text);
    });
    connect(&hangups, &CallEnder::hangUpRequested, this, &ConsoleWindow::hangUpRequested);
    connect(queueView, &QueuesView::pauseRequested, this, &ConsoleWindow::queuePauseRequested);
    connect(queueView, &QueuesView::message, this, &ConsoleWindow::showMessage);
    connect(queueView, &QueuesView::failure, this, [this](const QString& text) {
        if (showFailure)
            showFailure(text);
    });
    connect(&queueView->model(), &QueueTreeModel::callerAbandoned, this,
            &ConsoleWindow::callerAbandoned);
    connect(&queueView->model(), &QueueTreeModel::callerAnswered, this,
            &ConsoleWindow::callerAnswered);
    // What the queues learn of a call before it ends goes into its history entry.
    connect(this, &ConsoleWindow::callerAbandoned, &ended, &HistoryRecorder::noteAbandoned);
    connect(this, &ConsoleWindow::callerAnswered, &ended, &HistoryRecorder::noteAnswered);
    connect(this, &ConsoleWindow::hangUpRequested, &ended, &HistoryRecorder::hangupsRequested);
    connect(exports, &ViewExport::exported, this, &ConsoleWindow::showMessage);
    exports->showFailure = [this](const QString& text) {
        if (showFailure)
            showFailure(text);
    };

    confirm = [this](const QString& question, bool& dontAsk) {
        QMessageBox box(QMessageBox::Question, tr("Corvale Console"), question,
                        QMessageBox::Yes | QMessageBox::Cancel, this);
        box.setDefaultButton(QMessageBox::Cancel);
        box.button(QMessageBox::Yes)->setText(tr("&Hang up"));
        auto* check = new QCheckBox(tr("&Do not ask again"), &box);
        box.setCheckBox(check);
        const bool yes = box.exec() == QMessageBox::Yes;
        dontAsk = yes && check->isChecked();
        return yes;
    };
    showFailure = [this](const QString& text) {
        QMessageBox::warning(this, tr("Corvale Console"), text);
    };
    popUp = [](QMenu& menu, const QPoint& at) { return menu.exec(at); };

    ticker.setInterval(1000);
    connect(&ticker, &QTimer::timeout, this, &ConsoleWindow::tick);
    ticker.start();

    resize(860, 480);
    updateActions();
}

ConsoleWindow::~ConsoleWindow()
{
    // The widgets that watch the models go first: the models are members, which go before the
    // window's children would; the tabs' changes as they go are no longer the operator's.
    disconnect(viewTabs, nullptr, this, nullptr);
    delete statusLine;
    delete callTree;
    delete queueView;
    delete historyPage;
    filtered.setSourceModel(nullptr);
}

void ConsoleWindow::freezeCalls(int pbx, bool frozen)
{
    calls.model().setStale(pbx, frozen);
}

void ConsoleWindow::addCalls(int pbx, corvale::LiveCalls& liveCalls, const QString& name)
{
    calls.add(pbx, liveCalls, name);
    callTree->fitPbxName(name);
    ended.watch(pbx, liveCalls);
    updatePbxColumn();
    updateActions();
}

void ConsoleWindow::removeCalls(int pbx)
{
    hangups.abandon(pbx);
    ended.forget(pbx);
    calls.remove(pbx);
    updatePbxColumn();
    updateActions();
}

void ConsoleWindow::callsChanged(int pbx)
{
    calls.takeInNewCalls(pbx);
}

void ConsoleWindow::addQueues(int pbx, corvale::Queues& queues, const QString& name)
{
    queueView->add(pbx, queues, name);
    calls.setQueues(pbx, &queues);
}

void ConsoleWindow::removeQueues(int pbx)
{
    calls.setQueues(pbx, nullptr);
    queueView->remove(pbx);
}

void ConsoleWindow::queuesChanged(int pbx)
{
    bool all = false;
    const std::vector<std::string> channels = queueView->model().takeTouchedChannels(pbx, all);
    calls.model().refreshChannels(pbx, channels, all);
}

void ConsoleWindow::setQueuesState(int pbx, bool current, bool polled, int pollSeconds)
{
    queueView->setState(pbx, current, polled, pollSeconds);
}

void ConsoleWindow::queuePauseFinished(int pbx, const QString& interface, bool ok,
                                       const QString& message, bool permissionDenied)
{
    queueView->pauseFinished(pbx, interface, ok, message, permissionDenied);
}

void ConsoleWindow::hangupFinished(const Target& target, bool ok, const QString& reason)
{
    ended.hangupFinished(target, ok);
    hangups.finished(target, ok, reason);
}

void ConsoleWindow::showMessage(const QString& text)
{
    statusLine->showMessage(text, ResultMilliseconds);
}

int ConsoleWindow::addView(QWidget* page, const QString& title)
{
    return viewTabs->insertTab(viewTabs->indexOf(historyPage), page, title);
}

QTabWidget* ConsoleWindow::views() const
{
    return viewTabs;
}

bool ConsoleWindow::showsPbxColumn() const
{
    return !callTree->isColumnHidden(CallTreeModel::Pbx);
}

void ConsoleWindow::updatePbxColumn()
{
    const bool hidden = calls.count() <= 1;
    callTree->setColumnHidden(CallTreeModel::Pbx, hidden);
    if (commands != nullptr)
        commands->setPbxSortEnabled(!hidden);
}

void ConsoleWindow::setLongCallMinutes(int minutes, bool remember)
{
    nLongMinutes = std::max(minutes, 1);
    if (remember)
        nRememberedLongMinutes = nLongMinutes;
    calls.model().setLongCallSeconds(nLongMinutes * 60);
    statusLine->updateCounts();
}

QModelIndex ConsoleWindow::toSource(const QModelIndex& viewIndex) const
{
    return viewIndex.model() == &filtered ? filtered.mapToSource(viewIndex) : viewIndex;
}

CallEnder::Choice ConsoleWindow::selectedChoice() const
{
    CallEnder::Choice choice;
    // Delete on another tab must not end calls the operator does not see (the calls are the
    // first tab).
    if (viewTabs->currentIndex() != 0)
        return choice;
    std::unordered_set<const corvale::Conversation*> whole;
    std::vector<const corvale::Leg*> legs;
    for (const QModelIndex& row : callTree->selectionModel()->selectedRows()) {
        const QModelIndex source = toSource(row);
        if (const corvale::Leg* leg = calls.model().legAt(source))
            legs.push_back(leg);
        else if (const corvale::Conversation* conversation = calls.model().conversationAt(source))
            if (whole.insert(conversation).second)
                choice.conversations.push_back(conversation);
    }
    // A leg of a call that ends whole is ended with it.
    for (const corvale::Leg* leg : legs)
        if (whole.count(leg->conversation) == 0)
            choice.legs.push_back(leg);
    return choice;
}

void ConsoleWindow::updateActions()
{
    if (commands != nullptr) // else not built yet
        commands->showChoice(selectedChoice());
}

void ConsoleWindow::hangUpSelection()
{
    endChoice(selectedChoice());
}

void ConsoleWindow::hangUpChannelAt(const QModelIndex& viewIndex)
{
    if (const corvale::Leg* leg = calls.model().legAt(toSource(viewIndex)))
        endChoice({{}, {leg}});
}

void ConsoleWindow::endCallAt(const QModelIndex& viewIndex)
{
    if (const corvale::Conversation* conversation =
            calls.model().conversationAt(toSource(viewIndex)))
        endChoice({{conversation}, {}});
}

void ConsoleWindow::endChoice(const CallEnder::Choice& choice)
{
    if (choice.empty())
        return;
    // Read the channels before asking: the calls go on changing while the question is open, and
    // what the operator agreed to is what was named.
    const std::vector<Target> targets = hangups.targetsOf(choice);
    if (bConfirm && confirm) {
        bool dontAsk = false;
        if (!confirm(hangups.question(choice), dontAsk))
            return;
        if (dontAsk) {
            bConfirm = false;
            saveSettings();
        }
    }
    hangups.end(targets);
}

void ConsoleWindow::contextMenu(const QPoint& at)
{
    const QModelIndex index = callTree->indexAt(at);
    if (!index.isValid())
        return;
    const bool leg = calls.model().legAt(toSource(index)) != nullptr;
    // What the selection beyond this row would end, as Delete ends it.
    const CallEnder::Choice choice = selectedChoice();
    switch (commands->pick(at, leg, choice.conversations.size() + choice.legs.size() > 1)) {
    case ConsoleActions::Pick::Channel:
        return hangUpChannelAt(index);
    case ConsoleActions::Pick::WholeCall:
        return endCallAt(index);
    case ConsoleActions::Pick::Selection:
        return endChoice(choice);
    case ConsoleActions::Pick::Nothing:
        return;
    }
}

void ConsoleWindow::preferences()
{
    PreferencesDialog dialog(this);
    dialog.setLongCallMinutes(nLongMinutes);
    dialog.setConfirmHangups(bConfirm);
    dialog.setLongWaitSeconds(queueView->longWaitSeconds());
    dialog.setNotifyLongWaits(queueView->notifies());
    if (dialog.exec() != QDialog::Accepted)
        return;
    bConfirm = dialog.confirmHangups();
    queueView->setLongWaitSeconds(dialog.longWaitSeconds());
    queueView->setNotifies(dialog.notifyLongWaits());
    setLongCallMinutes(dialog.longCallMinutes(), true);
    saveSettings();
}

void ConsoleWindow::tick()
{
    calls.model().updateLongCalls();
    statusLine->updateCounts();
    // Only the rows in view are asked for their duration again.
    QModelIndexList rows;
    for (const QModelIndex& row : callTree->rowsInView())
        rows << toSource(row);
    calls.model().tick(rows);
}

void ConsoleWindow::saveSettings() const
{
    ConsoleSettings::save(*this, {nRememberedLongMinutes, bConfirm});
}

void ConsoleWindow::restoreSettings()
{
    const ConsoleSettings::Choices choices = ConsoleSettings::restore(*this);
    // The PBX column stays hidden while one PBX is shown, whatever was saved.
    updatePbxColumn();
    bConfirm = choices.confirmHangups;
    setLongCallMinutes(choices.longCallMinutes, true);
}

void ConsoleWindow::closeEvent(QCloseEvent* event)
{
    saveSettings();
    event->accept();
}

QTreeView* ConsoleWindow::tree() const
{
    return callTree;
}

QMenu* ConsoleWindow::pbxMenu() const
{
    return commands->pbxMenu();
}

QMenu* ConsoleWindow::fileMenu() const
{
    return commands->fileMenu();
}
