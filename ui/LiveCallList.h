#pragma once

#include "LiveCallModel.h"
#include "LiveCalls.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string>

class QListView;

// The window's live mode: the calls the session keeps up to date, shown in lstCalls. A tick
// redraws the minutes of the visible rows every second; a call that ends takes its selection
// with it, and the calls in view stay in view.
class LiveCallList : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds TickInterval{1000};

    LiveCallList(QListView& view, corvale::LiveCalls& calls, QObject* parent = nullptr);
    ~LiveCallList() override;

    corvale::LiveCalls& calls() { return liveCalls; }
    const corvale::LiveCalls& calls() const { return liveCalls; }
    const LiveCallModel& model() const { return rows; }

    // Once connected: the tick runs, until the program ends.
    void start();
    void stop();
    // After each arrival of data.
    void flush() { rows.flush(); }
    // The selected call's channel; nothing when no call is selected.
    std::optional<std::string> selectedChannel() const;

private:
    int rowHeight() const;
    int firstVisibleRow() const;
    void tick();
    void rowsAboutToGo(int first, int last);
    void rowsGone();

    QListView& view;
    corvale::LiveCalls& liveCalls;
    LiveCallModel rows;
    QTimer ticker;

    bool bCurrentGoes = false;
    int keptSelection = -1; // where the selected row will be once the removal is done
    int removedAbove = 0;   // rows above the first visible one that a removal takes
};
