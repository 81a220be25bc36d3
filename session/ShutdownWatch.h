#pragma once

#include <QElapsedTimer>

#include <chrono>

namespace corvale {

// What a PBX's announcement of its shutdown means. A caller's name can forge the event, so it
// only brings the next listing sooner, which is all a forged one costs (once a period, though the
// name brings it again with every listing); the close that soon follows is the shutdown's.
class ShutdownWatch
{
public:
    // After the announcement the next listing comes this soon.
    static constexpr std::chrono::milliseconds ListingWait{1000};

    void newConnection() { since.invalidate(); }
    // The announcement: true when the next listing is to come sooner, which is once a period.
    bool announced(std::chrono::milliseconds listingInterval)
    {
        const bool again = since.isValid() && since.elapsed() < listingInterval.count() + 1000;
        since.start();
        return !again;
    }
    // The PBX closing the connection now is its shutdown.
    bool explainsClose() const { return since.isValid() && since.elapsed() < CloseWithin.count(); }

private:
    static constexpr std::chrono::milliseconds CloseWithin{10000};

    QElapsedTimer since; // this connection's PBX announced its shutdown
};

} // namespace corvale
