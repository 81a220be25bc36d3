#pragma once

#include "CallEnder.h"
#include "CallFilterModel.h"
#include "CallSources.h"
#include "HistoryRecorder.h"
#include "Target.h"

#include <QList>
#include <QMainWindow>
#include <QTimer>

#include <functional>

class CallTreeModel;
class CallTreeView;
class ConsoleActions;
class ConsoleStatusBar;
class HistoryView;
class QAction;
class QLineEdit;
class QMenu;
class QTabWidget;
class QTreeView;
class QueuesView;
class ViewExport;

namespace corvale {
struct AbandonedCaller;
struct AnsweredCaller;
class LiveCalls;
class Queues;
} // namespace corvale

// The operator console: the calls of one PBX or several as conversations with their legs, a
// filter, long calls marked, and hangups of a channel or of whole calls. A view only: each PBX's
// controller adds its calls under a key and says how its connection stands; what the operator
// asks for goes out as signals, which the controllers connect.
class ConsoleWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int DefaultLongCallMinutes = 10;

    explicit ConsoleWindow(QWidget* parent = nullptr);
    ~ConsoleWindow() override;

    // A PBX's calls, under a key of its controller's, shown after the others' until removeCalls(),
    // which must come before they are destroyed. The PBX column is shown while more than one
    // PBX's calls are.
    void addCalls(int pbx, corvale::LiveCalls& calls, const QString& name);
    // Its calls leave the view, and its hangups still awaited get no answer.
    void removeCalls(int pbx);
    // After each read from that PBX: takes in its new calls.
    void callsChanged(int pbx);
    // A PBX's connection is gone (or back): its calls are greyed and stop ticking meanwhile.
    void freezeCalls(int pbx, bool frozen);
    // A PBX's queues on the Queues tab, and its waiting callers in the calls, until
    // removeQueues(), which must come before they are destroyed.
    void addQueues(int pbx, corvale::Queues& queues, const QString& name);
    void removeQueues(int pbx);
    // After each read from that PBX that changed its queues.
    void queuesChanged(int pbx);
    // Not current: greyed until listed again; polled: no queue events come, the listing is
    // asked for every pollSeconds.
    void setQueuesState(int pbx, bool current, bool polled, int pollSeconds = 5);
    // The answer to one request of queuePauseRequested().
    void queuePauseFinished(int pbx, const QString& interface, bool ok, const QString& message,
                            bool permissionDenied);
    QueuesView* queues() const { return queueView; }

    // The answer to one hangup of hangUpRequested().
    void hangupFinished(const Target& target, bool ok, const QString& reason);
    // A message for the operator that needs no answer: the status bar.
    void showMessage(const QString& text);
    // Each PBX's state, the counts.
    ConsoleStatusBar& status() const { return *statusLine; }
    // Filled by whoever keeps the saved PBXs, as it opens.
    QMenu* pbxMenu() const;
    // The File menu (Quit is its last entry), for whoever adds commands that write files.
    QMenu* fileMenu() const;
    // A view beside the calls, as a tab before the history's; returns its index.
    // restoreSettings() comes after.
    int addView(QWidget* page, const QString& title);
    QTabWidget* views() const;
    bool showsPbxColumn() const;

    // The long-call threshold; remembered for later runs only when the operator chose it (the
    // command line's is for this run).
    void setLongCallMinutes(int minutes, bool remember = false);
    int longCallMinutes() const { return nLongMinutes; }
    bool confirmsHangups() const { return bConfirm; }

    // Questions and messages for the operator; tests replace them. confirm returns whether to go
    // on, and sets dontAsk when the operator ticked "Do not ask again".
    std::function<bool(const QString& question, bool& dontAsk)> confirm;
    std::function<void(const QString& text)> showFailure;
    // Shows a context menu at a global position; returns the action chosen, if any.
    std::function<QAction*(QMenu& menu, const QPoint& at)> popUp;

    // Delete, the toolbar and the menu: ends what is selected (a leg's channel, or whole calls).
    void hangUpSelection();
    // The context menu's two choices for a row of the view.
    void hangUpChannelAt(const QModelIndex& viewIndex);
    void endCallAt(const QModelIndex& viewIndex);
    // Once a second: the durations in view, and the long calls.
    void tick();

    QTreeView* tree() const;
    QLineEdit* filter() const { return filterEdit; }
    CallSources& sources() { return calls; }
    CallTreeModel* model() { return &calls.model(); }
    const CallTreeModel* model() const { return &calls.model(); }
    CallFilterModel* proxy() { return &filtered; }
    CallEnder& ender() { return hangups; }
    // The calls that ended, fed by the calls shown, the queues and the hangups.
    HistoryRecorder& recorder() { return ended; }
    HistoryView* history() const { return historyPage; }
    // File > Export... and Ctrl+C, of the view in front.
    ViewExport& exporter() const { return *exports; }

    void saveSettings() const;
    void restoreSettings();

signals:
    // Each controller sends those on its PBX and answers each by hangupFinished().
    void hangUpRequested(const QList<Target>& targets);
    void refreshRequested();
    void connectRequested();
    // Each controller sends those on its PBX and answers each by queuePauseFinished(); an empty
    // queue pauses the member in all of its queues.
    void queuePauseRequested(int pbx, const QString& interface, bool paused, const QString& queue,
                             const QString& reason);
    // For the history.
    void callerAbandoned(int pbx, const corvale::AbandonedCaller& caller);
    void callerAnswered(int pbx, const corvale::AnsweredCaller& caller);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void updateActions();
    void contextMenu(const QPoint& at);
    void preferences();
    void endChoice(const CallEnder::Choice& choice);
    CallEnder::Choice selectedChoice() const;
    QModelIndex toSource(const QModelIndex& viewIndex) const;
    void updatePbxColumn();

    CallSources calls;
    CallFilterModel filtered;
    CallEnder hangups{calls};
    HistoryRecorder ended{calls};
    QTimer ticker;
    int nLongMinutes = DefaultLongCallMinutes;
    int nRememberedLongMinutes = DefaultLongCallMinutes;
    bool bConfirm = true;
    ConsoleActions* commands = nullptr;
    QTabWidget* viewTabs = nullptr;
    QueuesView* queueView = nullptr;
    HistoryView* historyPage = nullptr;
    ViewExport* exports = nullptr;

    QLineEdit* filterEdit;
    CallTreeView* callTree;
    ConsoleStatusBar* statusLine;
};
