#pragma once

#include "CallEnder.h"
#include "CallFilterModel.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>

class CallTreeModel;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTreeView;

namespace corvale {
class Conversations;
class LiveCalls;
} // namespace corvale

// The operator console: the calls of a PBX as conversations with their legs, a filter, long
// calls marked, and hangups of a channel or of whole calls. A view only: what it asks of the
// connection goes through the functions below, and the connection's news comes in through
// callsChanged(), hangupFinished() and setConnectionStatus().
class ConsoleWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int DefaultLongCallMinutes = 10;

    explicit ConsoleWindow(QWidget* parent = nullptr);
    ~ConsoleWindow() override;

    // The calls of a connection, shown until the next call; nullptr shows none. Must be called
    // with nullptr before the calls are destroyed.
    void setCalls(corvale::LiveCalls* calls);
    // After each change of the calls: takes in the new ones.
    void callsChanged();
    void hangupFinished(const std::string& channel, bool ok, const QString& reason);
    // The connection ended: hangups still awaited get no answer.
    void connectionLost();
    void setConnectionStatus(const QString& state, const QString& protection);
    // A message for the operator that needs no answer: the status bar.
    void showMessage(const QString& text);
    void setPbxName(const QString& name);

    // Several PBXs at once: the calls of one more PBX under a key of the caller's (1 and up),
    // shown after the others until removed; the PBX column is shown while calls of more than one
    // PBX are.
    void addCalls(int key, corvale::LiveCalls* calls, const QString& name);
    // Must be called before those calls are destroyed.
    void removeCalls(int key);
    void callsChanged(int key);
    // One PBX's connection ended: its hangups still awaited get no answer; the others' still do.
    void connectionLost(int key);
    // One small status bar label per PBX: "NAME: state", the details as its tool tip.
    void setPbxStatus(int key, const QString& name, const QString& state, const QString& details);
    void removePbxStatus(int key);
    QString pbxStatusText() const;
    QMenu* pbxMenu() const { return pbxes; }
    // Whether the PBX column is shown.
    bool showsPbxColumn() const;

    // The long-call threshold; remembered for later runs only when the operator chose it (the
    // command line's is for this run).
    void setLongCallMinutes(int minutes, bool remember = false);
    int longCallMinutes() const { return nLongMinutes; }
    bool confirmsHangups() const { return bConfirm; }

    // What the window asks of the connection.
    std::function<void(const std::string& channel)> hangUp;
    // A hangup of a channel of the PBX added under this key.
    std::function<void(int key, const std::string& channel)> hangUpOn;
    std::function<void()> refresh;
    std::function<void()> connectRequested;
    // Questions and messages for the operator; tests replace them. confirm returns whether to go
    // on, and sets dontAsk when the operator ticked "Do not ask again".
    std::function<bool(const QString& question, bool& dontAsk)> confirm;
    std::function<void(const QString& text)> showFailure;

    // Delete, the toolbar and the menu: ends what is selected (a leg's channel, or whole calls).
    void hangUpSelection();
    // The context menu's two choices for a row of the view.
    void hangUpChannelAt(const QModelIndex& viewIndex);
    void endCallAt(const QModelIndex& viewIndex);
    // Once a second: the durations in view, and the long calls.
    void tick();

    QTreeView* tree() const { return callTree; }
    QLineEdit* filter() const { return filterEdit; }
    CallTreeModel* model() const { return calls.get(); }
    // Whether a connection's calls are shown.
    bool showsCalls() const { return bShowing; }
    CallFilterModel* proxy() { return &filtered; }
    CallEnder& ender() { return hangups; }
    QString countText() const;
    QString longCallText() const;

    void saveSettings() const;
    void restoreSettings();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    void updateActions();
    void updateCounts();
    void contextMenu(const QPoint& at);
    void preferences();
    void endChoice(const CallEnder::Choice& choice);
    CallEnder::Choice selectedChoice() const;
    QModelIndex toSource(const QModelIndex& viewIndex) const;
    void updatePbxColumn();
    void sendHangUp(const std::string& channel);

    // Shown while no connection's calls are: the view keeps its columns, and with them the
    // widths and order the operator chose.
    std::unique_ptr<corvale::LiveCalls> noCalls;
    std::unique_ptr<corvale::Conversations> conversations;
    std::unique_ptr<CallTreeModel> calls;
    CallFilterModel filtered;
    CallEnder hangups;
    QTimer ticker;
    int nLongMinutes = DefaultLongCallMinutes;
    int nRememberedLongMinutes = DefaultLongCallMinutes;
    bool bConfirm = true;
    bool bShowing = false;
    QString sPbx;
    // The conversations of the PBXs added by key, and which PBX each channel being hung up is on.
    std::map<int, std::unique_ptr<corvale::Conversations>> pbxCalls;
    std::map<int, QLabel*> pbxLabels;
    std::map<std::string, int> hangupRoutes;
    QMenu* pbxes = nullptr;

    QLineEdit* filterEdit;
    QTreeView* callTree;
    QLabel* connectionLabel;
    QLabel* protectionLabel;
    QLabel* countLabel;
    QLabel* longLabel;
    QAction* actConnect = nullptr;
    QAction* actRefresh = nullptr;
    QAction* actHangUp = nullptr;
    QAction* actFind = nullptr;
    QAction* actPreferences = nullptr;
    QAction* actQuit = nullptr;
};
