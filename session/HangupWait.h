#pragma once

#include <string>

namespace corvale {

class HangupQueue;

// The call list window's Disconnect Call waits until its hangup has ended; the console never
// waits, so the queue itself has no wait, and this nested event loop stays apart from it.
class HangupWait
{
public:
    explicit HangupWait(HangupQueue& queue)
        : hangups(queue)
    {}

    // Queues the hangup, then waits until it and every hangup asked for meanwhile have ended.
    // Asked again while it waits, it only queues and returns.
    void hangUp(const std::string& channel);

private:
    HangupQueue& hangups;
    bool bWaiting = false;
};

} // namespace corvale
