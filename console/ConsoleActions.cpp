#include "ConsoleActions.h"

#include "CallTreeModel.h"
#include "CallTreeView.h"
#include "ConsoleWindow.h"
#include "FilterKeys.h"
#include "HistoryView.h"
#include "QueuesView.h"
#include "ViewExport.h"

#include <QAction>
#include <QActionGroup>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolBar>

// The texts stay in the window's translation context, where the operator has always seen them.
ConsoleActions::ConsoleActions(ConsoleWindow& owner, CallTreeView& tree, QLineEdit& filter)
    : QObject(&owner)
    , window(owner)
    , callTree(tree)
    , filterEdit(filter)
{
    const QStyle* style = window.style();
    actConnect = new QAction(style->standardIcon(QStyle::SP_DriveNetIcon),
                             ConsoleWindow::tr("&Connect..."), &window);
    actConnect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actConnect->setToolTip(ConsoleWindow::tr("Connect to a PBX (Ctrl+N)"));
    actRefresh = new QAction(style->standardIcon(QStyle::SP_BrowserReload),
                             ConsoleWindow::tr("&Refresh"), &window);
    actRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    actRefresh->setToolTip(ConsoleWindow::tr("List the calls again (F5)"));
    actHangUp = new QAction(style->standardIcon(QStyle::SP_DialogCloseButton),
                            ConsoleWindow::tr("&Hang Up"), &window);
    actHangUp->setShortcut(QKeySequence(Qt::Key_Delete));
    actFind = new QAction(ConsoleWindow::tr("&Find"), &window);
    actFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    actPreferences = new QAction(ConsoleWindow::tr("&Preferences..."), &window);
    actPreferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    actQuit = new QAction(ConsoleWindow::tr("&Quit"), &window);
    actQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    actHangUp->setObjectName(QStringLiteral("actHangUp"));
    actRefresh->setObjectName(QStringLiteral("actRefresh"));
    actConnect->setObjectName(QStringLiteral("actConnect"));

    connect(actConnect, &QAction::triggered, &window, &ConsoleWindow::connectRequested);
    connect(actRefresh, &QAction::triggered, &window, &ConsoleWindow::refreshRequested);
    connect(actHangUp, &QAction::triggered, &window, &ConsoleWindow::hangUpSelection);
    connect(actFind, &QAction::triggered, this, [this] {
        // The filter of the tab in front.
        if (window.views()->currentWidget() == window.history())
            return window.history()->focusFilter();
        if (window.views()->currentWidget() == window.queues())
            return FilterKeys::focus(*window.queues()->filter());
        FilterKeys::focus(filterEdit);
    });
    connect(actQuit, &QAction::triggered, &window, &QWidget::close);

    FilterKeys::attach(filterEdit, callTree);

    QMenuBar* bar = window.menuBar();
    files = bar->addMenu(ConsoleWindow::tr("&File"));
    files->setObjectName(QStringLiteral("fileMenu"));
    files->addAction(window.exporter().exportAction());
    files->addSeparator();
    files->addAction(actQuit);

    QMenu* callMenu = bar->addMenu(ConsoleWindow::tr("&Calls"));
    callMenu->addAction(actConnect);
    callMenu->addAction(actRefresh);
    callMenu->addSeparator();
    callMenu->addAction(actHangUp);
    callMenu->addSeparator();
    callMenu->addAction(actFind);
    callMenu->addAction(actPreferences);

    buildViewMenu();

    pbxes = bar->addMenu(ConsoleWindow::tr("P&BXs"));
    pbxes->setObjectName(QStringLiteral("pbxMenu"));

    QToolBar* tools = window.addToolBar(ConsoleWindow::tr("Calls"));
    tools->setObjectName(QStringLiteral("callTools"));
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tools->setMovable(false);
    tools->addAction(actConnect);
    tools->addAction(actRefresh);
    tools->addAction(actHangUp);
}

void ConsoleActions::buildViewMenu()
{
    // Sorting without the mouse: one entry per column, the current one checked; choosing it
    // again turns the order round, as a click on its header does.
    QMenu* view = window.menuBar()->addMenu(ConsoleWindow::tr("&View"));
    view->setObjectName(QStringLiteral("viewMenu"));
    sortActions = new QActionGroup(&window);
    const QString names[CallTreeModel::ColumnCount] = {
        ConsoleWindow::tr("Sort by &From"),     ConsoleWindow::tr("Sort by &To"),
        ConsoleWindow::tr("Sort by C&hannels"), ConsoleWindow::tr("Sort by &State"),
        ConsoleWindow::tr("Sort by &Duration"), ConsoleWindow::tr("Sort by &PBX")};
    for (int column = 0; column < CallTreeModel::ColumnCount; ++column) {
        QAction* action = view->addAction(names[column]);
        action->setObjectName(QStringLiteral("actSortBy%1").arg(column));
        action->setCheckable(true);
        sortActions->addAction(action);
        connect(action, &QAction::triggered, this, [this, column] { sortBy(column); });
    }
    const auto check = [this](int section) {
        if (section >= 0 && section < CallTreeModel::ColumnCount)
            sortActions->actions().at(section)->setChecked(true);
    };
    connect(callTree.header(), &QHeaderView::sortIndicatorChanged, this, check);
    check(callTree.header()->sortIndicatorSection());
}

void ConsoleActions::sortBy(int column)
{
    const QHeaderView* header = callTree.header();
    Qt::SortOrder order = Qt::AscendingOrder;
    if (header->sortIndicatorSection() == column && header->sortIndicatorOrder() == order)
        order = Qt::DescendingOrder;
    callTree.sortByColumn(column, order);
}

void ConsoleActions::setPbxSortEnabled(bool enabled)
{
    sortActions->actions().at(CallTreeModel::Pbx)->setEnabled(enabled);
}

void ConsoleActions::showChoice(const CallEnder::Choice& choice)
{
    actHangUp->setEnabled(!choice.empty());
    if (choice.conversations.empty() && choice.legs.size() == 1)
        actHangUp->setText(ConsoleWindow::tr("Hang up this channel"));
    else if (choice.conversations.size() == 1 && choice.legs.empty())
        actHangUp->setText(ConsoleWindow::tr("End the whole call"));
    else if (!choice.empty())
        actHangUp->setText(ConsoleWindow::tr("End the selected calls"));
    else
        actHangUp->setText(ConsoleWindow::tr("&Hang Up"));
    actHangUp->setToolTip(actHangUp->text() + ConsoleWindow::tr(" (Delete)"));
}

ConsoleActions::Pick ConsoleActions::pick(const QPoint& at, bool leg, bool several)
{
    QMenu menu(&window);
    QAction* channel = menu.addAction(ConsoleWindow::tr("Hang up this &channel"));
    channel->setEnabled(leg);
    QAction* whole = menu.addAction(ConsoleWindow::tr("End the &whole call"));
    QAction* selection = nullptr;
    if (several) {
        menu.addSeparator();
        selection = menu.addAction(ConsoleWindow::tr("End the &selected calls"));
    }
    const QAction* chosen = window.popUp(menu, callTree.viewport()->mapToGlobal(at));
    if (chosen == channel)
        return Pick::Channel;
    if (chosen == whole)
        return Pick::WholeCall;
    if (chosen != nullptr && chosen == selection)
        return Pick::Selection;
    return Pick::Nothing;
}
