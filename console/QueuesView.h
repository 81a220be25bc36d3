#pragma once

#include "QueueFilterModel.h"
#include "QueueTreeModel.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class DesktopNotifier;
class QAction;
class QLineEdit;
class QSettings;
class QTreeView;

// The console's Queues tab: each PBX's queues with their waiting callers and members, the same
// filter and sort as the calls, waits ticking, long waits marked and told to the desktop once per
// caller, and the pausing of members. A view only: the pauses the operator asks for go out as a
// signal; what the PBX answered comes back through pauseFinished().
class QueuesView : public QWidget
{
    Q_OBJECT

public:
    explicit QueuesView(QWidget* parent = nullptr);
    ~QueuesView() override;

    void add(int pbx, corvale::Queues& queues, const QString& name);
    void remove(int pbx);
    void setState(int pbx, bool current, bool polled, int pollSeconds);
    void pauseFinished(int pbx, const QString& interface, bool ok, const QString& message,
                       bool permissionDenied);

    // 0: each queue's own service level, else 60 s.
    void setLongWaitSeconds(int seconds);
    int longWaitSeconds() const { return queueModel.longWaitSeconds(); }
    void setNotifies(bool on) { bNotify = on; }
    bool notifies() const { return bNotify; }

    // Once a second: the waits in view, the long waits, and their notifications.
    void tick();
    // The member of the current row, paused (with a reason asked for) or unpaused.
    void pauseCurrent();
    void unpauseCurrent();

    // What asks the operator for a pause's reason (returns whether to go on) and what tells the
    // desktop of a long wait; tests replace them.
    std::function<bool(const QString& member, const QString& queue, QString& reason,
                       bool& everyQueue)>
        askPause;
    std::function<void(const QString& title, const QString& body)> notify;

    QueueTreeModel& model() { return queueModel; }
    // The rows as shown, filtered and sorted: what an export writes.
    QueueFilterModel& proxy() { return filtered; }
    QTreeView* tree() const { return queueTree; }
    QLineEdit* filter() const { return filterEdit; }
    QAction* pauseAction() const { return actPause; }
    QAction* unpauseAction() const { return actUnpause; }

    void saveSettings(QSettings& settings) const;
    void restoreSettings(QSettings& settings);

signals:
    void pauseRequested(int pbx, const QString& interface, bool paused, const QString& queue,
                        const QString& reason);
    // For the status bar, and for one box that needs an answer.
    void message(const QString& text);
    void failure(const QString& text);

private:
    QModelIndex currentSource() const;
    void updateActions();
    void updatePbxColumn();
    void contextMenu(const QPoint& at);
    QModelIndexList rowsInView() const;

    QueueTreeModel queueModel;
    QueueFilterModel filtered;
    QTimer ticker;
    bool bNotify = true;
    DesktopNotifier* notifier;
    QLineEdit* filterEdit;
    QTreeView* queueTree;
    QAction* actPause;
    QAction* actUnpause;
};
