#pragma once

#include "SessionReport.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace corvale {

class LiveCalls;

// The hangups a view asks for, sent one at a time: the PBX's answer to a hangup names no channel,
// and answers come in the order asked, so were a second sent while the first waits, an answer
// that never comes for the first would make each report the other's. It is driven by the answers,
// the listings and a timer; it never waits in an event loop of its own. Every request ends in
// exactly one finished(), always from the event loop, never inside request().
class HangupQueue : public QObject
{
    Q_OBJECT

public:
    // What the queue asks of the connection it works on.
    class Link
    {
    public:
        enum class State
        {
            NotLoggedIn,
            Up,
            Reconnecting,
            Ended
        };

        virtual ~Link() = default;
        virtual State linkState() const = 0;
        // Live mode: the calls, which know each one's Uniqueid; else nothing.
        virtual const LiveCalls* calls() const = 0;
        // Without live calls: whether the listing fetched after the last hangup names the
        // channel; nothing while it is awaited.
        virtual std::optional<bool> listed(const std::string& channel) const = 0;
        // Sends the hangup; its answer comes to answered() with the ticket.
        virtual std::optional<std::uint64_t> sendHangup(const std::string& channel) = 0;
        // A hangup was answered (or timed out): the list is fetched again.
        virtual void hangupSent() = 0;
    };

    explicit HangupQueue(Link& link, QObject* parent = nullptr);

    void setAnswerWait(std::chrono::milliseconds wait) { answerWait = wait; }
    // Queued; a request for a call already waiting adds nothing to send, and ends with it.
    void request(const std::string& channel);
    bool idle() const { return items.empty(); }

    // From the connection.
    void answered(std::uint64_t ticket, const std::string& response, const std::string& message);
    void listingArrived();
    // The connection is gone and another is being made: the hangup awaiting its answer is lost.
    void connectionLost();
    // The session ended or was closed: every request ends now, untold.
    void abandon();

signals:
    // The operator must be told: once per hangup, before its finished().
    void tell(const corvale::SessionReport& outcome);
    // Once per request.
    void finished(const corvale::SessionReport& outcome);
    // Nothing is queued or awaited any more.
    void becameIdle();

private:
    enum class Presence
    {
        Here,
        Gone,
        NotListedYet
    };
    enum class Stage
    {
        Waiting,      // its turn has not come, or it is being looked at
        AwaitListing, // snapshot mode: for the listing that decides whether its call is still up
        AwaitAnswer,
        Answered
    };
    struct Item
    {
        std::string channel;
        std::string uniqueid; // live mode: the call as it was when asked for
        int requests = 1;
        bool check = false; // asked for while another hangup was on its way
        Stage stage = Stage::Waiting;
        std::uint64_t ticket = 0;
        std::optional<SessionReport::Kind> outcome;
        QString reason;
    };

    std::string uniqueidOf(const std::string& channel) const;
    Presence presence(const Item& item) const;
    void step();
    void scheduleStep();
    std::optional<SessionReport::Kind> refusal(const Item& item) const;
    void timedOut();
    void conclude(Item item);

    Link& link;
    std::chrono::milliseconds answerWait{10000};
    std::deque<Item> items; // the front is the one whose turn it is
    QTimer stepper;
    QTimer waitTimer;
    bool bConcluding = false;
};

} // namespace corvale
