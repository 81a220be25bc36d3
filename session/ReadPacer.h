#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>

namespace corvale {

// A busy PBX sends events all the time: they are taken in at a steady pace, at most one read per
// interval, so that they are laid out and painted in batches; a full socket is read at once.
class ReadPacer : public QObject
{
    Q_OBJECT

public:
    explicit ReadPacer(QObject* parent = nullptr);

    void setInterval(std::chrono::milliseconds interval) { every = interval; }
    // Data has arrived; `full`: the socket holds all it may.
    void arrived(bool full);
    void stop() { timer.stop(); }

signals:
    void readDue();

private:
    std::chrono::milliseconds every{100};
    QTimer timer;
    QElapsedTimer sinceRead;
};

} // namespace corvale
