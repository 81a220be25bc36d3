#include "ConsoleWindow.h"

#include "CallTreeModel.h"
#include "Conversations.h"
#include "PreferencesDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <unordered_set>

namespace {

// How long a hangup's result stays in the status bar.
constexpr int ResultMilliseconds = 15000;

} // namespace

ConsoleWindow::ConsoleWindow(QWidget* parent)
    : QMainWindow(parent)
    , filterEdit(new QLineEdit(this))
    , callTree(new QTreeView(this))
    , connectionLabel(new QLabel(this))
    , protectionLabel(new QLabel(this))
    , countLabel(new QLabel(this))
    , longLabel(new QLabel(this))
{
    setObjectName(QStringLiteral("ConsoleWindow"));
    setWindowTitle(tr("Corvale Console"));

    filterEdit->setObjectName(QStringLiteral("filterEdit"));
    filterEdit->setPlaceholderText(tr("Filter calls by number, name, extension or channel"));
    filterEdit->setClearButtonEnabled(true);
    filterEdit->setAccessibleName(tr("Filter calls"));
    filterEdit->setAccessibleDescription(
        tr("Shows only the calls holding this text, regardless of case and accents"));

    callTree->setObjectName(QStringLiteral("callTree"));
    callTree->setAccessibleName(tr("Calls"));
    callTree->setModel(&filtered);
    callTree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    callTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    callTree->setAllColumnsShowFocus(true);
    callTree->setUniformRowHeights(true);
    callTree->setAlternatingRowColors(true);
    callTree->setSortingEnabled(true);
    callTree->sortByColumn(CallTreeModel::Duration, Qt::DescendingOrder);
    callTree->setContextMenuPolicy(Qt::CustomContextMenu);
    setCalls(nullptr);
    callTree->header()->setSectionsMovable(true);
    callTree->header()->setStretchLastSection(false);
    callTree->header()->setSectionResizeMode(QHeaderView::Interactive);
    callTree->header()->resizeSection(CallTreeModel::From, 230);
    callTree->header()->resizeSection(CallTreeModel::To, 200);
    callTree->header()->resizeSection(CallTreeModel::Channels, 190);
    callTree->header()->resizeSection(CallTreeModel::State, 80);
    callTree->header()->resizeSection(CallTreeModel::Duration, 80);
    // Shown once several PBXs are connected.
    callTree->setColumnHidden(CallTreeModel::Pbx, true);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->addWidget(filterEdit);
    layout->addWidget(callTree, 1);
    setCentralWidget(central);
    setTabOrder(filterEdit, callTree);

    for (QLabel* label : {connectionLabel, protectionLabel, countLabel, longLabel}) {
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setContentsMargins(4, 0, 4, 0);
        statusBar()->addPermanentWidget(label);
    }
    connectionLabel->setObjectName(QStringLiteral("connectionLabel"));
    protectionLabel->setObjectName(QStringLiteral("protectionLabel"));
    countLabel->setObjectName(QStringLiteral("countLabel"));
    longLabel->setObjectName(QStringLiteral("longLabel"));
    connectionLabel->setText(tr("Not connected"));

    buildActions();

    connect(filterEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        filtered.setFilterText(text);
        updateCounts();
    });
    connect(callTree, &QWidget::customContextMenuRequested, this, &ConsoleWindow::contextMenu);
    connect(callTree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ConsoleWindow::updateActions);
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&filtered, signal, this, &ConsoleWindow::updateCounts);
    connect(&filtered, &QAbstractItemModel::modelReset, this, &ConsoleWindow::updateCounts);
    connect(&filtered, &QAbstractItemModel::layoutChanged, this, &ConsoleWindow::updateCounts);

    connect(&hangups, &CallEnder::progress, this, &ConsoleWindow::showMessage);
    connect(&hangups, &CallEnder::failed, this, [this](const QString& text) {
        if (showFailure)
            showFailure(text);
    });
    hangups.hangUp = [this](const std::string& channel) { sendHangUp(channel); };

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

    ticker.setInterval(1000);
    connect(&ticker, &QTimer::timeout, this, &ConsoleWindow::tick);
    ticker.start();

    resize(860, 480);
    updateActions();
    updateCounts();
}

ConsoleWindow::~ConsoleWindow()
{
    filtered.setSourceModel(nullptr);
    // The model lets go of every PBX's calls before their grouping goes.
    for (const auto& [key, grouped] : pbxCalls)
        calls->removeSource(key);
}

void ConsoleWindow::buildActions()
{
    actConnect =
        new QAction(style()->standardIcon(QStyle::SP_DriveNetIcon), tr("&Connect..."), this);
    actConnect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actConnect->setToolTip(tr("Connect to a PBX (Ctrl+N)"));
    actRefresh = new QAction(style()->standardIcon(QStyle::SP_BrowserReload), tr("&Refresh"), this);
    actRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    actRefresh->setToolTip(tr("List the calls again (F5)"));
    actHangUp =
        new QAction(style()->standardIcon(QStyle::SP_DialogCloseButton), tr("&Hang Up"), this);
    actHangUp->setShortcut(QKeySequence(Qt::Key_Delete));
    actFind = new QAction(tr("&Find"), this);
    actFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    actPreferences = new QAction(tr("&Preferences..."), this);
    actPreferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    actQuit = new QAction(tr("&Quit"), this);
    actQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    actHangUp->setObjectName(QStringLiteral("actHangUp"));
    actRefresh->setObjectName(QStringLiteral("actRefresh"));
    actConnect->setObjectName(QStringLiteral("actConnect"));

    connect(actConnect, &QAction::triggered, this, [this] {
        if (connectRequested)
            connectRequested();
    });
    connect(actRefresh, &QAction::triggered, this, [this] {
        if (refresh)
            refresh();
    });
    connect(actHangUp, &QAction::triggered, this, &ConsoleWindow::hangUpSelection);
    connect(actFind, &QAction::triggered, this, [this] {
        filterEdit->setFocus(Qt::ShortcutFocusReason);
        filterEdit->selectAll();
    });
    connect(actPreferences, &QAction::triggered, this, &ConsoleWindow::preferences);
    connect(actQuit, &QAction::triggered, this, &QWidget::close);

    // Esc in the filter empties it; a second Esc goes back to the calls.
    auto* clearFilter = new QAction(tr("Clear the filter"), filterEdit);
    clearFilter->setShortcut(QKeySequence(Qt::Key_Escape));
    clearFilter->setShortcutContext(Qt::WidgetShortcut);
    filterEdit->addAction(clearFilter);
    connect(clearFilter, &QAction::triggered, this, [this] {
        if (filterEdit->text().isEmpty())
            callTree->setFocus(Qt::ShortcutFocusReason);
        else
            filterEdit->clear();
    });
    // Esc in the calls empties the filter too, so every call is in view again.
    auto* clearFromTree = new QAction(tr("Show all calls"), callTree);
    clearFromTree->setShortcut(QKeySequence(Qt::Key_Escape));
    clearFromTree->setShortcutContext(Qt::WidgetShortcut);
    callTree->addAction(clearFromTree);
    connect(clearFromTree, &QAction::triggered, filterEdit, &QLineEdit::clear);

    QMenu* callMenu = menuBar()->addMenu(tr("&Calls"));
    callMenu->addAction(actConnect);
    callMenu->addAction(actRefresh);
    callMenu->addSeparator();
    callMenu->addAction(actHangUp);
    callMenu->addSeparator();
    callMenu->addAction(actFind);
    callMenu->addAction(actPreferences);
    callMenu->addSeparator();
    callMenu->addAction(actQuit);

    // Filled by whoever keeps the saved PBXs, as it opens.
    pbxes = menuBar()->addMenu(tr("P&BXs"));
    pbxes->setObjectName(QStringLiteral("pbxMenu"));

    QToolBar* tools = addToolBar(tr("Calls"));
    tools->setObjectName(QStringLiteral("callTools"));
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tools->setMovable(false);
    tools->addAction(actConnect);
    tools->addAction(actRefresh);
    tools->addAction(actHangUp);
}

void ConsoleWindow::setCalls(corvale::LiveCalls* liveCalls)
{
    hangups.abandon();
    bShowing = liveCalls != nullptr;
    if (liveCalls == nullptr) {
        if (!noCalls)
            noCalls = std::make_unique<corvale::LiveCalls>();
        liveCalls = noCalls.get();
    }
    // Live calls have one listener: a second grouping of the same calls would take it over.
    if (conversations && &conversations->liveCalls() == liveCalls)
        return;
    // The new calls replace the old in one reset; the column count stays, and so does the header.
    auto grouped = std::make_unique<corvale::Conversations>(*liveCalls);
    auto model = std::make_unique<CallTreeModel>(*grouped);
    model->setLongCallSeconds(nLongMinutes * 60);
    model->setPbxName(sPbx);
    grouped->flush();
    // The other PBXs' calls stay, in the new model.
    for (const auto& [key, pbx] : pbxCalls)
        model->addSource(key, *pbx, calls ? calls->pbxName(key) : QString());
    filtered.setSourceModel(model.get());
    calls = std::move(model);
    conversations = std::move(grouped);
    updatePbxColumn();
    updateActions();
    updateCounts();
}

void ConsoleWindow::addCalls(int key, corvale::LiveCalls* liveCalls, const QString& name)
{
    removeCalls(key);
    if (liveCalls == nullptr)
        return;
    auto grouped = std::make_unique<corvale::Conversations>(*liveCalls);
    grouped->flush();
    calls->addSource(key, *grouped, name);
    pbxCalls[key] = std::move(grouped);
    updatePbxColumn();
    updateActions();
    updateCounts();
}

void ConsoleWindow::removeCalls(int key)
{
    const auto it = pbxCalls.find(key);
    if (it == pbxCalls.end())
        return;
    calls->removeSource(key);
    pbxCalls.erase(it);
    updatePbxColumn();
    updateActions();
    updateCounts();
}

void ConsoleWindow::callsChanged(int key)
{
    if (const auto it = pbxCalls.find(key); it != pbxCalls.end())
        it->second->flush();
}

void ConsoleWindow::connectionLost(int key)
{
    std::vector<std::string> lost;
    for (const auto& [channel, pbx] : hangupRoutes)
        if (pbx == key)
            lost.push_back(channel);
    for (const std::string& channel : lost)
        hangupFinished(channel, false, tr("the connection to its PBX ended"));
}

void ConsoleWindow::setPbxStatus(int key, const QString& name, const QString& state,
                                 const QString& details)
{
    QLabel*& label = pbxLabels[key];
    if (label == nullptr) {
        label = new QLabel(this);
        label->setObjectName(QStringLiteral("pbxLabel%1").arg(key));
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setContentsMargins(4, 0, 4, 0);
        statusBar()->addPermanentWidget(label);
    }
    label->setText(tr("%1: %2").arg(name, state));
    label->setToolTip(details);
    label->setAccessibleName(tr("State of the PBX %1").arg(name));
    // The single connection's label says nothing while only saved PBXs are connected.
    connectionLabel->setVisible(bShowing || pbxLabels.empty());
    protectionLabel->setVisible(connectionLabel->isVisible() && !protectionLabel->text().isEmpty());
}

void ConsoleWindow::removePbxStatus(int key)
{
    const auto it = pbxLabels.find(key);
    if (it == pbxLabels.end())
        return;
    statusBar()->removeWidget(it->second);
    it->second->deleteLater();
    pbxLabels.erase(it);
    connectionLabel->setVisible(bShowing || pbxLabels.empty());
}

QString ConsoleWindow::pbxStatusText() const
{
    QStringList texts;
    for (const auto& [key, label] : pbxLabels)
        texts << label->text();
    return texts.join(QStringLiteral(" · "));
}

bool ConsoleWindow::showsPbxColumn() const
{
    return !callTree->isColumnHidden(CallTreeModel::Pbx);
}

void ConsoleWindow::updatePbxColumn()
{
    const std::size_t shown = (bShowing ? 1 : 0) + pbxCalls.size();
    callTree->setColumnHidden(CallTreeModel::Pbx, shown <= 1);
}

void ConsoleWindow::sendHangUp(const std::string& channel)
{
    const auto it = hangupRoutes.find(channel);
    if (it != hangupRoutes.end() && pbxCalls.count(it->second) > 0) {
        if (hangUpOn)
            hangUpOn(it->second, channel);
        return;
    }
    if (hangUp)
        hangUp(channel);
}

void ConsoleWindow::callsChanged()
{
    if (conversations)
        conversations->flush();
}

void ConsoleWindow::hangupFinished(const std::string& channel, bool ok, const QString& reason)
{
    hangupRoutes.erase(channel);
    hangups.finished(channel, ok, reason);
}

void ConsoleWindow::connectionLost()
{
    hangups.abandon();
}

void ConsoleWindow::setConnectionStatus(const QString& state, const QString& protection)
{
    connectionLabel->setText(state);
    protectionLabel->setText(protection);
    protectionLabel->setVisible(!protection.isEmpty());
}

void ConsoleWindow::showMessage(const QString& text)
{
    statusBar()->showMessage(text, ResultMilliseconds);
}

void ConsoleWindow::setPbxName(const QString& name)
{
    sPbx = name;
    if (calls)
        calls->setPbxName(name);
}

void ConsoleWindow::setLongCallMinutes(int minutes, bool remember)
{
    nLongMinutes = std::max(minutes, 1);
    if (remember)
        nRememberedLongMinutes = nLongMinutes;
    if (calls)
        calls->setLongCallSeconds(nLongMinutes * 60);
    updateCounts();
}

QModelIndex ConsoleWindow::toSource(const QModelIndex& viewIndex) const
{
    return viewIndex.model() == &filtered ? filtered.mapToSource(viewIndex) : viewIndex;
}

CallEnder::Choice ConsoleWindow::selectedChoice() const
{
    CallEnder::Choice choice;
    if (!calls)
        return choice;
    std::unordered_set<const corvale::Conversation*> whole;
    std::vector<const corvale::Leg*> legs;
    for (const QModelIndex& row : callTree->selectionModel()->selectedRows()) {
        const QModelIndex source = toSource(row);
        if (const corvale::Leg* leg = calls->legAt(source))
            legs.push_back(leg);
        else if (const corvale::Conversation* conversation = calls->conversationAt(source))
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
    if (actHangUp == nullptr)
        return; // not built yet
    const CallEnder::Choice choice = selectedChoice();
    actHangUp->setEnabled(!choice.empty());
    if (choice.conversations.empty() && choice.legs.size() == 1)
        actHangUp->setText(tr("Hang up this channel"));
    else if (choice.conversations.size() == 1 && choice.legs.empty())
        actHangUp->setText(tr("End the whole call"));
    else if (!choice.empty())
        actHangUp->setText(tr("End the selected calls"));
    else
        actHangUp->setText(tr("&Hang Up"));
    actHangUp->setToolTip(actHangUp->text() + tr(" (Delete)"));
}

void ConsoleWindow::hangUpSelection()
{
    endChoice(selectedChoice());
}

void ConsoleWindow::hangUpChannelAt(const QModelIndex& viewIndex)
{
    if (!calls)
        return;
    if (const corvale::Leg* leg = calls->legAt(toSource(viewIndex)))
        endChoice({{}, {leg}});
}

void ConsoleWindow::endCallAt(const QModelIndex& viewIndex)
{
    if (!calls)
        return;
    if (const corvale::Conversation* conversation = calls->conversationAt(toSource(viewIndex)))
        endChoice({{conversation}, {}});
}

void ConsoleWindow::endChoice(const CallEnder::Choice& choice)
{
    if (choice.empty() || !calls)
        return;
    // Read the channels before asking: the calls go on changing while the question is open, and
    // what the operator agreed to is what was named.
    const std::vector<std::string> channels = CallEnder::channelsOf(choice);
    // Each hangup goes to its own PBX.
    std::map<std::string, int> routes;
    const auto route = [&](const corvale::Leg& leg) {
        const int key = calls->sourceOf(*leg.conversation);
        if (pbxCalls.count(key) > 0)
            routes[leg.call->channel] = key;
    };
    for (const corvale::Conversation* conversation : choice.conversations)
        for (const corvale::Leg* leg : conversation->legs)
            route(*leg);
    for (const corvale::Leg* leg : choice.legs)
        route(*leg);
    if (bConfirm && confirm) {
        bool dontAsk = false;
        if (!confirm(CallEnder::question(*calls, choice), dontAsk))
            return;
        if (dontAsk) {
            bConfirm = false;
            saveSettings();
        }
    }
    for (const auto& [channel, key] : routes)
        hangupRoutes[channel] = key;
    hangups.end(channels);
}

void ConsoleWindow::contextMenu(const QPoint& at)
{
    const QModelIndex index = callTree->indexAt(at);
    if (!index.isValid() || !calls)
        return;
    QMenu menu(this);
    const bool leg = calls->legAt(toSource(index)) != nullptr;
    QAction* channel = menu.addAction(tr("Hang up this channel"));
    channel->setEnabled(leg);
    QAction* whole = menu.addAction(tr("End the whole call"));
    const QAction* chosen = menu.exec(callTree->viewport()->mapToGlobal(at));
    if (chosen == channel)
        hangUpChannelAt(index);
    else if (chosen == whole)
        endCallAt(index);
}

void ConsoleWindow::preferences()
{
    PreferencesDialog dialog(this);
    dialog.setLongCallMinutes(nLongMinutes);
    dialog.setConfirmHangups(bConfirm);
    if (dialog.exec() != QDialog::Accepted)
        return;
    bConfirm = dialog.confirmHangups();
    setLongCallMinutes(dialog.longCallMinutes(), true);
    saveSettings();
}

void ConsoleWindow::tick()
{
    if (!calls)
        return;
    calls->updateLongCalls();
    longLabel->setText(longCallText());
    longLabel->setVisible(calls->longCalls() > 0);
    // Only the rows in view are asked for their duration again.
    if (!callTree->isVisible())
        return;
    QModelIndexList rows;
    const int bottom = callTree->viewport()->height();
    for (QModelIndex at = callTree->indexAt(QPoint(1, 1)); at.isValid() && rows.size() < 1000;
         at = callTree->indexBelow(at)) {
        if (callTree->visualRect(at).top() > bottom)
            break;
        rows << toSource(at);
    }
    calls->tick(rows);
}

QString ConsoleWindow::countText() const
{
    const int all = calls ? calls->rowCount() : 0;
    const int shown = filtered.rowCount();
    if (filtered.filterText().trimmed().isEmpty())
        return all == 1 ? tr("1 call") : tr("%1 calls").arg(all);
    return all == 1 ? tr("%1 of 1 call").arg(shown) : tr("%1 of %2 calls").arg(shown).arg(all);
}

QString ConsoleWindow::longCallText() const
{
    const int n = calls ? calls->longCalls() : 0;
    return n == 1 ? tr("1 long call") : tr("%1 long calls").arg(n);
}

void ConsoleWindow::updateCounts()
{
    countLabel->setText(countText());
    longLabel->setText(longCallText());
    longLabel->setVisible(calls && calls->longCalls() > 0);
}

void ConsoleWindow::saveSettings() const
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("console"));
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("columns"), callTree->header()->saveState());
    settings.setValue(QStringLiteral("longCallMinutes"), nRememberedLongMinutes);
    settings.setValue(QStringLiteral("confirmHangups"), bConfirm);
}

void ConsoleWindow::restoreSettings()
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("console"));
    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    QHeaderView* header = callTree->header();
    if (header->restoreState(settings.value(QStringLiteral("columns")).toByteArray()))
        callTree->sortByColumn(header->sortIndicatorSection(), header->sortIndicatorOrder());
    // The PBX column stays hidden while one PBX is shown, whatever was saved.
    updatePbxColumn();
    bConfirm = settings.value(QStringLiteral("confirmHangups"), true).toBool();
    setLongCallMinutes(
        settings.value(QStringLiteral("longCallMinutes"), DefaultLongCallMinutes).toInt(), true);
}

void ConsoleWindow::closeEvent(QCloseEvent* event)
{
    saveSettings();
    event->accept();
}
