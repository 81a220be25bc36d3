#pragma once

#include "LiveCallModel.h"
#include "LiveCalls.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string>

class QListView;

namespace corvale {
class ManagerClient;
}

// The window's live mode: the calls the manager client keeps up to date, shown in lstCalls. A
// tick redraws the minutes of the visible rows every second, and a full listing every 15
// seconds brings what events do not tell (a change of extension) and repairs any drift.
class LiveCallList : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds TickInterval{1000};
    static constexpr std::chrono::milliseconds ListingInterval{15000};
    // Data waiting on the connection is read at once, unless the last read was less than this
    // long ago: then when this long has passed. Under a stream of events the view is laid out
    // and painted ten times a second rather than at every event, and a change still shows well
    // within a second.
    static constexpr std::chrono::milliseconds ReadInterval{100};

    LiveCallList(QListView& view, corvale::ManagerClient& client, QObject* parent = nullptr);
    ~LiveCallList() override;

    corvale::LiveCalls& calls() { return liveCalls; }
    const corvale::LiveCalls& calls() const { return liveCalls; }
    const LiveCallModel& model() const { return rows; }

    // Once connected: the tick and the periodic listing run, until the program ends.
    void start();
    void stop();
    void setListingInterval(std::chrono::milliseconds interval) { poller.setInterval(interval); }
    // After each arrival of data.
    void flush() { rows.flush(); }
    // The selected call's channel; nothing when no call is selected.
    std::optional<std::string> selectedChannel() const;

    // The connection has data: readDue comes now or once ReadInterval has passed since the last;
    // now if the connection holds all it may, since it reads nothing more until then.
    void dataWaiting(bool full = false);

signals:
    void readDue();

private:
    int rowHeight() const;
    int firstVisibleRow() const;
    void tick();
    void rowsAboutToGo(int first, int last);
    void rowsGone();

    QListView& view;
    corvale::ManagerClient& client;
    corvale::LiveCalls liveCalls;
    LiveCallModel rows;
    QTimer ticker;
    QTimer poller;
    QTimer reader;
    QElapsedTimer sinceRead;

    bool bCurrentGoes = false;
    int keptSelection = -1; // where the selected row will be once the removal is done
    int removedAbove = 0;   // rows above the first visible one that a removal takes
};
