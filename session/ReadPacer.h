#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <string>

namespace corvale {

class SocketAdapter;

// A busy PBX sends events all the time: they are taken in at a steady pace, at most one read per
// interval, so that they are laid out and painted in batches; a full socket is read at the next
// turn of the event loop.
//
// A paced read also gives the event loop back once it has read for a turn's budget: a backlog
// (a listing of 20,000 channels, the events queued behind it) is taken in over several turns,
// each laid out and painted, instead of in one long stall. A read that fits its budget, as the
// steady stream does, is still one read. The sessions of several PBXs share the budget: reads
// that fall due together take turns.
class ReadPacer : public QObject
{
    Q_OBJECT

public:
    // The most taken from the socket at a time, so that the budget is looked at often enough.
    static constexpr qint64 SliceBytes = 32 * 1024;

    explicit ReadPacer(SocketAdapter& socket, QObject* parent = nullptr);

    void setInterval(std::chrono::milliseconds interval) { every = interval; }
    void setTurnBudget(std::chrono::milliseconds budget) { turn = budget; }
    // Data has arrived; `full`: the socket holds all it may.
    void arrived(bool full);
    void stop() { timer.stop(); }

    // Hands what the socket holds to `take`, slice by slice, while `goOn` holds. Paced, it stops
    // once the turn's budget is spent and reads the rest in the next turn (readDue); otherwise it
    // reads until the socket is empty. True when anything was taken.
    bool read(bool paced, const std::function<bool()>& goOn,
              const std::function<void(const std::string&)>& take);

signals:
    void readDue();

private:
    SocketAdapter& socket;
    std::chrono::milliseconds every{100};
    std::chrono::milliseconds turn{15};
    QTimer timer;
    QElapsedTimer sinceRead;
};

} // namespace corvale
