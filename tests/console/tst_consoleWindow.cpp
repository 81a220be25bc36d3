#include "ConnectDialog.h"
#include "ConsoleCalls.h"
#include "ConsoleWindow.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;

// The console window over played calls, with the connection and the operator's answers faked.
class tst_consoleWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void endingAWholeCallHangsUpEveryLegAfterOneQuestion();
    void aLegAloneAndSeveralCallsAtOnce();
    void failuresAreListedInOneBox();
    void sameChannelOnTwoPbxsIsTwoHangups();
    void doNotAskAgainIsRemembered();
    void filterByKeyboardAndCounts();
    void longCallsAreCountedInTheStatusBar();
    void theTickRedrawsOnlyTheRowsInView();
    void refreshAndQuitByKeyboard();
    void columnsSortAndThresholdAreRemembered();
    void connectDialogChecksLikeTheCommandLine();
    void aLostPbxsCallsAreGreyAndStandStill();
    void theFilterLeadsIntoTheCalls_data();
    void theFilterLeadsIntoTheCalls();
    void sortingFromTheViewMenu();
    void theMenuKeyOffersEveryActionOnTheSelection();
    void rowsAreOfOneHeightAndTheColumnsFit();

private:
    void select(const std::string& channel, bool leg = false,
                QItemSelectionModel::SelectionFlags how = QItemSelectionModel::ClearAndSelect);

    std::unique_ptr<PlayedCalls> played;
    std::unique_ptr<ConsoleWindow> window;
    std::vector<std::string> hungUp;
    std::vector<Target> requested;
    bool answerAtOnce = false; // as a connection that answers before the request returns
    QStringList questions;
    bool answer = true;
    bool tickDontAsk = false;
    QStringList failures;
};

void tst_consoleWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("org.example"));
    QCoreApplication::setApplicationName(QStringLiteral("corvale-console-test"));
}

void tst_consoleWindow::init()
{
    QSettings().clear();
    played = std::make_unique<PlayedCalls>();
    window = std::make_unique<ConsoleWindow>();
    window->addCalls(0, played->calls, QString());
    played->added = [this] { window->callsChanged(0); };
    connect(window.get(), &ConsoleWindow::hangUpRequested, this,
            [this](const QList<Target>& targets) {
                for (const Target& target : targets) {
                    hungUp.push_back(target.channel);
                    requested.push_back(target);
                    if (answerAtOnce)
                        window->hangupFinished(target, true, QString());
                }
            });
    window->confirm = [this](const QString& question, bool& dontAsk) {
        questions << question;
        dontAsk = tickDontAsk;
        return answer;
    };
    window->showFailure = [this](const QString& text) { failures << text; };
    hungUp.clear();
    requested.clear();
    questions.clear();
    failures.clear();
    answer = true;
    answerAtOnce = false;
    tickDontAsk = false;

    // A four-leg call through a Local channel, and a plain one.
    played->add({"PJSIP/5552001-01", "5552001", "Carol Smith", "2001", "L1", "B1"});
    played->add({"Local/2001@agents-0001;1", "5552001", "Carol Smith", "2001", "L1", "B1"});
    played->add({"Local/2001@agents-0001;2", "2001", "", "", "L1", "B2"});
    played->add({"PJSIP/2001-02", "2001", "", "", "L1", "B2"});
    played->call("9", "5559009", "Zo\xc3\xab M\xc3\xbcller", "2002");
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void tst_consoleWindow::cleanup()
{
    window.reset();
    played.reset();
}

void tst_consoleWindow::select(const std::string& channel, bool leg,
                               QItemSelectionModel::SelectionFlags how)
{
    CallTreeModel& model = *window->model();
    const corvale::Conversation* conversation =
        window->sources().conversations(0)->conversationOf(channel);
    QVERIFY(conversation != nullptr);
    QModelIndex source = model.indexOf(*conversation);
    if (leg)
        for (std::size_t i = 0; i < conversation->legs.size(); ++i)
            if (conversation->legs[i]->call->channel == channel)
                source = model.index(static_cast<int>(i), 0, source);
    const QModelIndex shown = window->proxy()->mapFromSource(source);
    window->tree()->expand(shown.parent());
    window->tree()->selectionModel()->setCurrentIndex(shown, how | QItemSelectionModel::Rows);
}

void tst_consoleWindow::endingAWholeCallHangsUpEveryLegAfterOneQuestion()
{
    select("PJSIP/2001-02");
    window->tree()->setFocus();
    QTest::keyClick(window->tree(), Qt::Key_Delete);
    QCOMPARE(questions, QStringList{QStringLiteral(
                            "End the call from 5552001 <Carol Smith> to 2001 (4 channels)?")});
    QCOMPARE(hungUp, (std::vector<std::string>{"PJSIP/5552001-01", "Local/2001@agents-0001;1",
                                               "Local/2001@agents-0001;2", "PJSIP/2001-02"}));
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Hanging up 4 channels..."));
    for (const std::string& channel : hungUp)
        window->hangupFinished({0, channel}, true, QString());
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Hung up 4 channels."));
    QVERIFY(failures.isEmpty());

    // A connection that answers each hangup before the request returns: still one account for
    // the whole call.
    answerAtOnce = true;
    hungUp.clear();
    QSignalSpy messages(window->statusBar(), &QStatusBar::messageChanged);
    QTest::keyClick(window->tree(), Qt::Key_Delete);
    QCOMPARE(hungUp.size(), 4u);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Hung up 4 channels."));
    QCOMPARE(messages.count(), 2); // "Hanging up 4 channels...", then the account

    // Cancelled: nothing is sent.
    hungUp.clear();
    answer = false;
    QTest::keyClick(window->tree(), Qt::Key_Delete);
    QCOMPARE(questions.size(), 3);
    QVERIFY(hungUp.empty());

    // On another tab the calls' selection is out of sight: Delete asks nothing and ends nothing.
    answer = true;
    window->views()->setCurrentIndex(1);
    QVERIFY(!window->findChild<QAction*>(QStringLiteral("actHangUp"))->isEnabled());
    QTest::keyClick(window->views()->currentWidget(), Qt::Key_Delete);
    QCOMPARE(questions.size(), 3);
    QVERIFY(hungUp.empty());
    window->views()->setCurrentIndex(0);
    QVERIFY(window->findChild<QAction*>(QStringLiteral("actHangUp"))->isEnabled());
}

void tst_consoleWindow::aLegAloneAndSeveralCallsAtOnce()
{
    select("Local/2001@agents-0001;2", true);
    window->hangUpSelection();
    QCOMPARE(questions.last(),
             QStringLiteral("Hang up the channel Local/2001@agents-0001;2 of the call from "
                            "5552001 <Carol Smith> to 2001 (4 channels)?"));
    QCOMPARE(hungUp, std::vector<std::string>{"Local/2001@agents-0001;2"});
    window->hangupFinished({0, hungUp[0]}, true, QString());

    // Two calls and a leg of one of them: one question, each channel once.
    hungUp.clear();
    select("PJSIP/5552001-01");
    select("PJSIP/5559009-9", false, QItemSelectionModel::Select);
    select("PJSIP/2001-02", true, QItemSelectionModel::Select);
    window->hangUpSelection();
    QCOMPARE(questions.size(), 2);
    QVERIFY(questions.last().startsWith(QStringLiteral("Hang up 6 channels?\n")));
    QCOMPARE(hungUp.size(), 6u);
    QCOMPARE(std::count(hungUp.begin(), hungUp.end(), "PJSIP/2001-02"), 1);

    // The context menu's choices act on the row they were opened on.
    for (const std::string& channel : hungUp)
        window->hangupFinished({0, channel}, true, QString());
    hungUp.clear();
    const QModelIndex row = window->proxy()->index(0, 0);
    window->hangUpChannelAt(row);
    QVERIFY(hungUp.empty()); // a conversation's row has no single channel
    window->endCallAt(window->proxy()->index(0, 0, row));
    QCOMPARE(hungUp.size(), static_cast<std::size_t>(window->proxy()->rowCount(row)));
}

void tst_consoleWindow::failuresAreListedInOneBox()
{
    select("PJSIP/5559009-9");
    window->hangUpSelection();
    QCOMPARE(hungUp.size(), 2u);
    // A leg the PBX no longer has is gone, as asked; a refusal is a failure.
    window->hangupFinished({0, hungUp[0]}, false, QStringLiteral("No such channel"));
    QVERIFY(failures.isEmpty());
    window->hangupFinished({0, hungUp[1]}, false, QStringLiteral("Permission denied"));
    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures[0], QStringLiteral("These channels could not be hung up:\n"
                                         "PJSIP/2002-9: Permission denied"));
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Hung up 1 of 2 channels."));

    // A connection that ends leaves no hangup waiting for ever.
    select("PJSIP/5552001-01");
    window->hangUpSelection();
    window->removeCalls(0);
    QCOMPARE(failures.size(), 2);
    QVERIFY(failures[1].contains(QStringLiteral("Local/2001@agents-0001;1: no answer")));
    QCOMPARE(window->ender().waiting(), 0u);
}

// Channel names are each PBX's own: the same name on two PBXs is two channels, each hung up on
// its own PBX, counted and named as two.
void tst_consoleWindow::sameChannelOnTwoPbxsIsTwoHangups()
{
    PlayedCalls branch;
    window->sources().setName(0, QStringLiteral("HQ"));
    window->addCalls(1, branch.calls, QStringLiteral("Branch"));
    const auto release = qScopeGuard([this] { window->removeCalls(1); });
    branch.added = [this] { window->callsChanged(1); };
    branch.add({"PJSIP/5559009-9", "5559009", "Otto", "2009", "L9", ""});
    QVERIFY(window->showsPbxColumn());
    window->filter()->setText(QStringLiteral("5559009"));
    QCOMPARE(window->proxy()->rowCount(), 2);
    window->tree()->selectAll();
    window->hangUpSelection();
    QCOMPARE(questions.last(),
             QStringLiteral("Hang up 3 channels?\n"
                            "- the call from 5559009 <Zo\u00eb M\u00fcller> to 2002 <Agent 2002> "
                            "(2 channels on HQ)\n"
                            "- the call from 5559009 <Otto> to 2009 (1 channel on Branch)"));
    std::sort(requested.begin(), requested.end());
    QCOMPARE(requested, (std::vector<Target>{
                            {0, "PJSIP/2002-9"}, {0, "PJSIP/5559009-9"}, {1, "PJSIP/5559009-9"}}));
    for (const Target& target : requested)
        window->hangupFinished(target, true, QString());
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Hung up 3 channels."));
}

void tst_consoleWindow::doNotAskAgainIsRemembered()
{
    tickDontAsk = true;
    select("PJSIP/5559009-9");
    window->hangUpSelection();
    QCOMPARE(questions.size(), 1);
    select("PJSIP/5552001-01");
    window->hangUpSelection();
    QCOMPARE(questions.size(), 1);
    QCOMPARE(hungUp.size(), 6u);

    ConsoleWindow another;
    QVERIFY(another.confirmsHangups());
    another.restoreSettings();
    QVERIFY(!another.confirmsHangups());
}

void tst_consoleWindow::filterByKeyboardAndCounts()
{
    auto* count = window->findChild<QLabel*>(QStringLiteral("countLabel"));
    QCOMPARE(count->text(), QStringLiteral("2 calls"));
    window->tree()->setFocus();
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(window->filter()->hasFocus());
    QTest::keyClicks(window->filter(), QStringLiteral("MULLER"));
    QCOMPARE(window->proxy()->rowCount(), 1);
    QCOMPARE(count->text(), QStringLiteral("1 of 2 calls"));
    // A call that starts while filtered counts at once.
    played->call("10", "5550010", "Otto Muller", "2003");
    QCOMPARE(count->text(), QStringLiteral("2 of 3 calls"));
    QTest::keyClick(window->filter(), Qt::Key_Escape);
    QVERIFY(window->filter()->text().isEmpty());
    QCOMPARE(count->text(), QStringLiteral("3 calls"));
    QTest::keyClick(window->filter(), Qt::Key_Escape);
    QVERIFY(window->tree()->hasFocus());
}

void tst_consoleWindow::longCallsAreCountedInTheStatusBar()
{
    auto* label = window->findChild<QLabel*>(QStringLiteral("longLabel"));
    window->setLongCallMinutes(2);
    played->clock += 150s;
    played->call("11", "5550011", "New", "2004");
    window->tick();
    QCOMPARE(label->text(), QStringLiteral("2 long calls"));
    QVERIFY(label->isVisible());
    const QModelIndex newest = window->proxy()->index(2, CallTreeModel::From);
    QVERIFY(!newest.data(CallTreeModel::LongCallRole).toBool());
}

void tst_consoleWindow::theTickRedrawsOnlyTheRowsInView()
{
    for (int i = 0; i < 300; ++i)
        played->call(std::to_string(100 + i), std::to_string(5551000 + i), "Caller", "2001");
    window->resize(700, 300);
    QTRY_VERIFY(window->tree()->viewport()->height() < 300);
    const int rowHeight = window->tree()->sizeHintForRow(0);
    QVERIFY(rowHeight > 0);
    QSignalSpy changed(window->model(), &QAbstractItemModel::dataChanged);
    window->tick();
    const int inView = window->tree()->viewport()->height() / rowHeight + 1;
    QVERIFY2(
        changed.count() > 0 && changed.count() <= inView,
        qPrintable(QStringLiteral("%1 rows redrawn, %2 in view").arg(changed.count()).arg(inView)));
    for (const QList<QVariant>& signal : changed) {
        const auto from = signal[0].value<QModelIndex>();
        QCOMPARE(from.column(), static_cast<int>(CallTreeModel::Duration));
    }
}

void tst_consoleWindow::refreshAndQuitByKeyboard()
{
    QSignalSpy refreshed(window.get(), &ConsoleWindow::refreshRequested);
    window->tree()->setFocus();
    QTest::keyClick(window->tree(), Qt::Key_F5);
    QCOMPARE(refreshed.count(), 1);
    QTest::keyClick(window->tree(), Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!window->isVisible());
    // Every control the operator can reach has a name for a screen reader.
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->focusPolicy() == Qt::NoFocus || !qobject_cast<QAbstractItemView*>(widget))
            continue;
        QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
    }
    QVERIFY(!window->filter()->accessibleName().isEmpty());
}

void tst_consoleWindow::columnsSortAndThresholdAreRemembered()
{
    window->tree()->sortByColumn(CallTreeModel::From, Qt::AscendingOrder);
    window->tree()->header()->resizeSection(CallTreeModel::To, 321);
    window->tree()->header()->moveSection(
        window->tree()->header()->visualIndex(CallTreeModel::State), 0);
    window->setLongCallMinutes(25, true);
    window->setLongCallMinutes(3); // the command line's, for this run only
    window->close();

    ConsoleWindow another;
    another.restoreSettings();
    QHeaderView* header = another.tree()->header();
    QCOMPARE(header->sortIndicatorSection(), static_cast<int>(CallTreeModel::From));
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(header->sectionSize(CallTreeModel::To), 321);
    QCOMPARE(header->visualIndex(CallTreeModel::State), 0);
    QVERIFY(header->isSectionHidden(CallTreeModel::Pbx));
    QCOMPARE(another.longCallMinutes(), 25);
    const QStringList keys = QSettings().allKeys();
    QVERIFY(std::none_of(keys.begin(), keys.end(), [](const QString& key) {
        return key.contains(QStringLiteral("secret"), Qt::CaseInsensitive);
    }));
}

void tst_consoleWindow::connectDialogChecksLikeTheCommandLine()
{
    ConnectDialog dialog;
    auto* host = dialog.findChild<QLineEdit*>(QStringLiteral("hostEdit"));
    auto* port = dialog.findChild<QLineEdit*>(QStringLiteral("portEdit"));
    auto* user = dialog.findChild<QLineEdit*>(QStringLiteral("userEdit"));
    auto* ca = dialog.findChild<QLineEdit*>(QStringLiteral("caFileEdit"));
    ConnectionFields out;
    QCOMPARE(dialog.check(out), QString());
    QCOMPARE(out.port, QStringLiteral("5038"));

    port->setText(QStringLiteral("65536"));
    QCOMPARE(dialog.check(out), QStringLiteral("The port must be a whole number from 1 to 65535."));
    port->setText(QStringLiteral("0"));
    QVERIFY(!dialog.check(out).isEmpty());
    port->setText(QStringLiteral("5038"));
    host->setText(QStringLiteral("pbx\nexample"));
    QCOMPARE(dialog.check(out), QStringLiteral("The host holds a control character."));
    host->setText(QStringLiteral("pbx.example.org"));
    user->setText(QStringLiteral("ad\x01min"));
    QCOMPARE(dialog.check(out), QStringLiteral("The user name holds a control character."));
    user->setText(QStringLiteral("admin"));

    ConnectionFields tls;
    tls.tls = true;
    tls.port = QStringLiteral("5039");
    dialog.setFields(tls);
    QTemporaryDir dir;
    ca->setText(dir.path());
    QCOMPARE(dialog.check(out), QStringLiteral("%1 is a folder, not a file.").arg(dir.path()));
    const QString big = dir.filePath(QStringLiteral("big.pem"));
    {
        QFile file(big);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1024 * 1024 + 1, 'A'));
    }
    ca->setText(big);
    QVERIFY(dialog.check(out).contains(QStringLiteral("larger than 1 MiB")));
    const QString empty = dir.filePath(QStringLiteral("empty.pem"));
    {
        QFile file(empty);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a certificate\n");
    }
    ca->setText(empty);
    QCOMPARE(dialog.check(out), QStringLiteral("%1 holds no PEM certificate.").arg(empty));
    ca->setText(dir.filePath(QStringLiteral("missing.pem")));
    QVERIFY(dialog.check(out).startsWith(QStringLiteral("There is no file")));

    // Enter connects once the fields are right, and the dialog stays open while they are not.
    ca->clear();
    dialog.show();
    host->setFocus();
    QTest::keyClick(host, Qt::Key_Return);
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
    QCOMPARE(dialog.fields().host, QStringLiteral("localhost"));
    QVERIFY(dialog.fields().tls);
}

void tst_consoleWindow::aLostPbxsCallsAreGreyAndStandStill()
{
    const auto cell = [this](int column, bool leg = false) {
        const QModelIndex call = window->model()->index(0, column);
        return leg ? window->model()->index(0, column, window->model()->index(0, 0)) : call;
    };
    const QBrush grey = QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    played->clock += 10s;
    window->freezeCalls(0, true);
    played->clock += 50s;
    window->setLongCallMinutes(1);
    // Still at the moment of the loss, greyed, and not a long call meanwhile.
    for (bool leg : {false, true}) {
        QCOMPARE(cell(CallTreeModel::Duration, leg).data().toString(), QStringLiteral("0:00:10"));
        QCOMPARE(cell(CallTreeModel::From, leg).data(Qt::ForegroundRole).value<QBrush>(), grey);
    }
    QCOMPARE(window->model()->longCalls(), 0);
    window->freezeCalls(0, false);
    window->tick();
    QCOMPARE(cell(CallTreeModel::Duration).data().toString(), QStringLiteral("0:01:00"));
    QVERIFY(!cell(CallTreeModel::From).data(Qt::ForegroundRole).isValid());
    QCOMPARE(window->model()->longCalls(), 2);
}

void tst_consoleWindow::theFilterLeadsIntoTheCalls_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Down") << int(Qt::Key_Down);
    QTest::newRow("Enter") << int(Qt::Key_Return);
}

void tst_consoleWindow::theFilterLeadsIntoTheCalls()
{
    QFETCH(int, key);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    window->filter()->setFocus();
    QTest::keyClicks(window->filter(), QStringLiteral("zoe"));
    QTest::keyClick(window->filter(), static_cast<Qt::Key>(key));
    QTRY_VERIFY(window->tree()->hasFocus());
    const QModelIndexList rows = window->tree()->selectionModel()->selectedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0], window->proxy()->index(0, 0));
    QCOMPARE(rows[0].data().toString(), QStringLiteral("5559009 <Zo\u00eb M\u00fcller>"));
}

void tst_consoleWindow::sortingFromTheViewMenu()
{
    const QHeaderView* header = window->tree()->header();
    const auto action = [this](int column) {
        return window->findChild<QAction*>(QStringLiteral("actSortBy%1").arg(column));
    };
    QVERIFY(action(CallTreeModel::Duration)->isChecked());
    const auto firstFrom = [this] {
        return window->proxy()->index(0, CallTreeModel::From).data().toString();
    };
    // Choosing a column sorts by it, choosing it again turns the order round.
    const std::pair<Qt::SortOrder, QString> steps[] = {
        {Qt::AscendingOrder, QStringLiteral("5552001 <Carol Smith>")},
        {Qt::DescendingOrder, QStringLiteral("5559009 <Zo\u00eb M\u00fcller>")},
        {Qt::AscendingOrder, QStringLiteral("5552001 <Carol Smith>")}};
    for (const auto& [order, first] : steps) {
        action(CallTreeModel::From)->trigger();
        QCOMPARE(header->sortIndicatorSection(), int(CallTreeModel::From));
        QCOMPARE(header->sortIndicatorOrder(), order);
        QCOMPARE(firstFrom(), first);
        QVERIFY(action(CallTreeModel::From)->isChecked());
        QVERIFY(!action(CallTreeModel::Duration)->isChecked());
    }
    // A click on a header checks its entry; the PBX's waits for a second PBX.
    window->tree()->sortByColumn(CallTreeModel::State, Qt::AscendingOrder);
    QVERIFY(action(CallTreeModel::State)->isChecked());
    QVERIFY(!action(CallTreeModel::Pbx)->isEnabled());
}

void tst_consoleWindow::theMenuKeyOffersEveryActionOnTheSelection()
{
    QStringList offered;
    QModelIndex at;
    QString chosen;
    window->popUp = [&](QMenu& menu, const QPoint& where) {
        QAction* pick = nullptr;
        for (QAction* action : menu.actions()) {
            if (action->isSeparator())
                continue;
            offered << action->text() +
                           (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
            if (action->text() == chosen)
                pick = action;
        }
        at = window->tree()->indexAt(window->tree()->viewport()->mapFromGlobal(where));
        return pick;
    };
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    window->tree()->expandAll();
    select("PJSIP/5552001-01");
    select("PJSIP/2002-9", true, QItemSelectionModel::Select);
    window->tree()->setFocus();
    const QModelIndex current = window->tree()->currentIndex();
    const QStringList all{QStringLiteral("Hang up this &channel"),
                          QStringLiteral("End the &whole call"),
                          QStringLiteral("End the &selected calls")};
    // The Menu key, as the window hands it to the focused widget, and Shift+F10.
    QTreeView* tree = window->tree();
    const std::function<void()> presses[] = {
        [tree] {
            const QPoint caret = tree->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
            QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, caret, tree->mapToGlobal(caret));
            QApplication::sendEvent(tree, &menuKey);
        },
        [tree] { QTest::keyClick(tree, Qt::Key_F10, Qt::ShiftModifier); }};
    for (const auto& press : presses) {
        offered.clear();
        at = QModelIndex();
        press();
        QCOMPARE(offered, all);
        QCOMPARE(at.row(), current.row());
        QCOMPARE(at.parent(), current.parent());
    }
    // Ending the selection from there asks once for all it holds.
    chosen = all[2];
    QTest::keyClick(tree, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(questions.size(), 1);
    QVERIFY2(questions[0].startsWith(QStringLiteral("Hang up 5 channels?")),
             qPrintable(questions[0]));
    QCOMPARE(requested.size(), std::size_t{5});
}

void tst_consoleWindow::rowsAreOfOneHeightAndTheColumnsFit()
{
    // Long calls with their icon and a new one without.
    window->setLongCallMinutes(1);
    played->clock += 90s;
    played->call("12", "5550012", "New", "2005");
    window->tick();
    QCOMPARE(window->model()->longCalls(), 2);
    QTreeView* tree = window->tree();
    QSet<int> heights;
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        tree->sortByColumn(CallTreeModel::Duration, order);
        for (int row = 0; row < window->proxy()->rowCount(); ++row)
            heights << tree->visualRect(window->proxy()->index(row, 0)).height();
    }
    QCOMPARE(heights.size(), 1);
    // The columns start wide enough for what they usually hold.
    const QString caller = QStringLiteral("5552001 <Carol Smith>");
    QVERIFY(tree->header()->sectionSize(CallTreeModel::From) >
            tree->fontMetrics().horizontalAdvance(caller));

    // A second PBX shows the PBX column, wide enough for its name, and the columns still fit.
    PlayedCalls branch;
    const QString name = QStringLiteral("Z\u00fcrich Headquarters");
    window->addCalls(1, branch.calls, name);
    branch.added = [this] { window->callsChanged(1); };
    branch.call("1", "5550001", "Branch caller", "3001");
    QVERIFY(window->showsPbxColumn());
    QVERIFY(tree->header()->sectionSize(CallTreeModel::Pbx) >=
            tree->fontMetrics().horizontalAdvance(name));
    QTRY_VERIFY(!tree->horizontalScrollBar()->isVisible());
    window->removeCalls(1);
}

QTEST_MAIN(tst_consoleWindow)
#include "tst_consoleWindow.moc"
