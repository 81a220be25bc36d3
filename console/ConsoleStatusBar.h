#pragma once

#include <QStatusBar>

#include <map>

class CallFilterModel;
class CallTreeModel;
class QLabel;

// The console's status bar: each PBX's connection, the count of calls (of those in view while a
// filter is on) and of long calls. The counts follow the calls' rows and the filter by
// themselves, so they always equal the rows.
class ConsoleStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    // `shown` filters `calls`.
    ConsoleStatusBar(const CallTreeModel& calls, const CallFilterModel& shown,
                     QWidget* parent = nullptr);

    // One PBX's connection: `state` on a label of its own, `details` as the label's tool tip,
    // `protection` (empty: none) on a label beside it; `name` names the PBX to a screen reader.
    // The labels stand in the order of the PBXs' keys.
    void setPbxState(int pbx, const QString& name, const QString& state, const QString& details,
                     const QString& protection = QString());
    void removePbxState(int pbx);
    // Every PBX's state label, " · " between.
    QString pbxStateText() const;

    QString countText() const;
    QString longCallText() const;
    // The counts again: the long calls, which are counted on a clock, follow by this alone.
    void updateCounts();

private:
    struct PbxLabels
    {
        QLabel* state = nullptr;
        QLabel* protection = nullptr;
    };
    QLabel* newLabel(const QString& objectName);

    const CallTreeModel& calls;
    const CallFilterModel& shown;
    std::map<int, PbxLabels> pbxes;
    QLabel* idleLabel;
    QLabel* countLabel;
    QLabel* longLabel;
};
