#pragma once

#include "HangupQueue.h"
#include "HangupWait.h"
#include "Keepalive.h"
#include "ListedEntries.h"
#include "LossHold.h"
#include "ManagerClient.h"
#include "QueueFeed.h"
#include "ReadPacer.h"
#include "Reconnector.h"
#include "SessionListing.h"
#include "SessionReport.h"
#include "SessionSettings.h"
#include "SessionTimes.h"
#include "ShutdownWatch.h"
#include "SocketAdapter.h"
#include "StartWaits.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvale {

class LiveCalls;

// One connection to one PBX, without widgets: the socket, the manager client and, in live mode,
// the live set of calls, with the commands a view gives (connect, refresh, hang up, close). It
// never shows anything: what the operator must be told arrives as reported(), a view puts it in
// words. It is the manager client's window through a small adapter. Optionally it reconnects
// after losing a connection that had logged in, and pings a PBX that has been silent.
class Session : public QObject, private HangupQueue::Link
{
    Q_OBJECT

public:
    enum class State
    {
        Idle,
        Connecting,   // TCP, TLS and the greeting
        LoggingIn,    // the greeting is here, the login has gone out
        Listed,       // logged in: listings and hangups go out
        Reconnecting, // the link was lost; waiting for, or making, attempt() (login included)
        Ended
    };
    Q_ENUM(State)

    // The most the socket holds unread while reading is held (a box is open), and in live mode
    // always: the PBX may send any amount meanwhile.
    static constexpr qint64 ReadLimit = 1 << 20;

    explicit Session(QObject* parent = nullptr);
    ~Session() override;

    void setSettings(const SessionSettings& settings); // before open()
    const SessionSettings& settings() const { return config; }
    void setTimes(const SessionTimes& times);
    const SessionTimes& times() const { return timing; }
    void setAnswerTimeout(std::chrono::milliseconds timeout)
    {
        SessionTimes next = timing;
        next.answerWait = timeout;
        setTimes(next);
    }
    void setListingInterval(std::chrono::milliseconds interval)
    {
        SessionTimes next = timing;
        next.listingInterval = interval;
        setTimes(next);
    }

    // Asked when the login goes out (so a window can read its fields then). UTF-8 bytes.
    std::function<std::string()> userName;
    std::function<std::string()> password;

    void open();    // connect; returns at once
    void refresh(); // Refresh List: nothing goes out until logged in
    // Queues a hangup and returns at once; it ends in one hangupFinished(), always later.
    void requestHangup(const std::string& channel) { hangups.request(channel); }
    // The call list window's Disconnect Call: requestHangup(), then waits in a nested event loop
    // until it and every hangup asked for meanwhile have ended. Asked again while it waits, it
    // only queues and returns.
    void hangUp(const std::string& channel) { hangupWait.hangUp(channel); }
    // Ends the session, no reconnection, no report; waiting hangups end untold.
    void close()
    {
        if (!ended())
            endNow();
    }
    // While waiting to reconnect: the next attempt now.
    void retryNow()
    {
        if (current == State::Reconnecting)
            reconnector.tryNow();
    }

    // A view has a modal box open: reading stops at ReadLimit, and a connection error that will
    // not be retried waits until the box closes (in live mode the link is shown lost at once).
    void setHoldReading(bool held);

    State state() const { return current; }
    // While reconnecting: the attempt made or waited for; else 0.
    int attempt() const { return current == State::Reconnecting ? reconnector.attempt() : 0; }
    std::chrono::milliseconds nextTryIn() const
    {
        return current == State::Reconnecting ? reconnector.nextTryIn()
                                              : std::chrono::milliseconds(0);
    }
    QString endReason() const { return sEndReason; }
    // What ended the session on its own, if anything did and it was told.
    const std::optional<SessionReport>& endReport() const { return lastEnd; }
    bool loggedIn() const { return current == State::Listed; }
    bool ended() const { return current == State::Ended; }
    // A connection of this session has logged in at least once.
    bool everLoggedIn() const { return bEverLoggedIn; }
    // The action that lists the calls on this connection: "CoreShowChannels" or "Status" (a
    // manager user refused CoreShowChannels lists with Status for the rest of the session).
    std::string_view listingAction() const;

    LiveCalls* liveCalls() { return live.get(); }
    const LiveCalls* liveCalls() const { return live.get(); }
    const ManagerClient& client() const { return *manager; }

    // The queues of the PBX: null unless settings().queues; the same object for the session's
    // lifetime, across reconnections.
    corvale::Queues* queues() { return queueFeed.queues(); }
    const corvale::Queues* queues() const { return queueFeed.queues(); }
    // False from a loss until the queues are listed again.
    bool queuesCurrent() const { return queueFeed.current(); }
    // No queue event has come since the login (a user without read class agent): the listing is
    // polled every queuePollInterval.
    bool queuesPolled() const { return queueFeed.polled(); }
    // Returns at once; ends in one queuePauseFinished(), always later.
    void requestQueuePause(const QString& interface, bool paused, const QString& queue,
                           const QString& reason)
    {
        queueFeed.requestPause(interface, paused, queue, reason);
    }
    const SocketAdapter& socket() const { return tcpConn; }

signals:
    void stateChanged(corvale::Session::State state);
    // Something the operator must be told. A slot may show it modally: the session goes on once
    // the slot returns. report() follows with the call list window's words.
    void reported(const corvale::SessionReport& report);
    void report(const QString& text);
    // The session has ended on its own (not by close()), after its report; `reason` is it.
    void finished(const QString& reason);
    // Why a connection failed or was lost, for a log; connectionProblem() follows in words:
    // "the connection was refused", ...
    void problemOccurred(const corvale::ConnectionProblem& problem);
    void connectionProblem(const QString& cause);
    // Once for every hangup asked for. ok when the call is gone (also when it had gone before
    // its hangup could be sent); else `reason`: the PBX's words, or the report's.
    void hangupEnded(const corvale::SessionReport& outcome);
    void hangupFinished(const std::string& channel, bool ok, const QString& reason);
    // Data was read: the calls (live) or the entries (snapshot) may have changed.
    void callsChanged();
    // Snapshot mode: the list is to be emptied (a refresh, a listing after reconnecting), and
    // one entry of a listing, its bytes as the PBX sent them.
    void entriesCleared();
    void entryListed(std::string_view entry, const corvale::EntryParts& parts);
    // Every attempt of a reconnection, and every second while waiting for one.
    void reconnectProgress();
    // Live mode without reconnection: the link went while a box was open; the session ends, with
    // its report, once the box closes.
    void linkLost();
    // After a read that changed the queues.
    void queuesChanged();
    void queuesCurrentChanged(bool current);
    // `message`: the PBX's words; permissionDenied: the manager user lacks write class agent.
    void queuePauseFinished(const QString& interface, bool ok, const QString& message,
                            bool permissionDenied);

private:
    class Ops; // the manager client's window: forwards to the members below
    friend class Ops;
    void showMessage(std::string_view text);
    void endProgram();
    void send(std::string_view bytes);
    void actionAnswered(const Answer& answer);
    void listingComplete();
    void shutdownAnnounced();

    // What the hangup queue asks of this connection.
    HangupQueue::Link::State linkState() const override;
    const LiveCalls* calls() const override { return live.get(); }
    std::optional<bool> listed(const std::string& channel) const override
    {
        return listing.entries().names(channel);
    }
    std::optional<std::uint64_t> sendHangup(const std::string& channel) override
    {
        return manager->sendHangup(channel);
    }
    void hangupSent() override { requestListing(); }

    void setState(State next);
    void newClient();
    void configureClient();
    void connectNow();
    void stopTimers();
    void dataArrival(qint64 waiting);
    // Live mode reads a turn's worth (ReadPacer); `whole`: all there is.
    void readNow(bool whole = false);
    void tlsFailed(SocketAdapter::TlsProblem problem);
    void greeted();
    // The connection failed or went: retried when it may be, else the end with `loss.report`.
    void lose(const ConnectionProblem& problem);
    void lose(ConnectionLoss loss);
    void goDown();
    void tell(const SessionReport& report);
    void hangupOver(const SessionReport& outcome);
    void endNow();
    void finish(const SessionReport& report);
    void updateReadLimit();
    bool keepaliveOn() const;
    void loginAccepted();
    void loginNotTaken(const Answer& answer);
    bool commandsHeldBack();
    void requestListing();
    void listingAnswered(const Answer& answer);

    SessionSettings config;
    SessionTimes timing;
    State current = State::Idle;
    SocketAdapter tcpConn;
    std::unique_ptr<Ops> ops;
    std::unique_ptr<LiveCalls> live;
    std::unique_ptr<ManagerClient> manager;
    // Clients of connections given up, kept until nothing reads with them any more.
    std::vector<std::pair<std::unique_ptr<Ops>, std::unique_ptr<ManagerClient>>> retired;
    int nReading = 0;
    std::uint64_t nGeneration = 0; // counts connections, so a late call of an old one is ignored

    StartWaits waits;
    QTimer poller;
    ReadPacer pacer;
    ShutdownWatch shutdown;
    Keepalive keepalive;
    Reconnector reconnector;
    HangupQueue hangups;
    HangupWait hangupWait;
    QueueFeed queueFeed;

    bool bEverLoggedIn = false;
    bool bDown = false; // live mode: lost while a box was open, the end to follow
    QString sEndReason;
    std::optional<SessionReport> lastEnd;
    std::optional<SessionReport> lastClientReport; // what the client said last
    LossHold lossHold;

    SessionListing listing;
};

} // namespace corvale
