#pragma once

#include "ManagerClient.h"
#include "SocketAdapter.h"
#include "WindowOps.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace corvale {

class LiveCalls;

struct SessionSettings
{
    QString host;
    int port = 5038;
    bool tls = false;
    QList<QSslCertificate> trusted; // TLS: the only authorities; empty: the system's
    bool ownAuthorities = false;    // trusted came from --tls-ca (changes a TLS message)
    Auth auth = Auth::Plain;
    bool live = false;      // Events: call, the live set, periodic listing
    bool reconnect = false; // after a successful login, a lost link is retried
    bool keepalive = false; // Ping after 20 s of silence (on with live or reconnect)
    // Live mode with a current PBX: list with CoreShowChannels, which carries the bridge and the
    // linked id, escapes every name and is answered without locking each channel.
    bool coreShowChannels = false;
};

// How long the session waits for things; tests make them short.
struct SessionTimes
{
    std::chrono::milliseconds answerWait{10000};   // a hangup's answer
    std::chrono::milliseconds greetingWait{10000}; // TCP connected to greeting; TLS handshake
    std::chrono::milliseconds silenceBeforePing{20000};
    std::chrono::milliseconds pingWait{10000};        // after a Ping, for any byte at all
    std::chrono::milliseconds listingInterval{15000}; // live mode's periodic listing
    std::chrono::milliseconds readInterval{100};      // live mode reads at most this often
    // The wait before reconnection attempt `attempt` (from 1); empty: retrySchedule().
    std::function<std::chrono::milliseconds(int attempt)> retryDelay;
};

// One connection to one PBX, without widgets: the socket, the manager client and, in live mode,
// the live set of calls, with the commands a view gives (connect, refresh, hang up, close). It
// never shows anything: what the operator must be told arrives as report(), in the words to
// show. It is the manager client's window through a small adapter. Optionally it reconnects after
// losing a connection that had logged in, and pings a PBX that has been silent.
class Session : public QObject
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

    static constexpr std::string_view ConnectionErrorMessage =
        "I encounted an error - is the host there and the port open?";
    static constexpr std::string_view NotConnectedMessage =
        "Not connected to the PBX: reconnecting.";
    // The most the socket holds unread while reading is held (a box is open), and in live mode
    // always: the PBX may send any amount meanwhile.
    static constexpr qint64 ReadLimit = 1 << 20;

    explicit Session(QObject* parent = nullptr);
    ~Session() override;

    void setSettings(const SessionSettings& settings); // before open()
    const SessionSettings& settings() const { return config; }
    void setTimes(const SessionTimes& times);
    const SessionTimes& times() const { return timing; }
    void setAnswerTimeout(std::chrono::milliseconds timeout) { timing.answerWait = timeout; }
    void setListingInterval(std::chrono::milliseconds interval);

    // Asked when the login goes out (so a window can read its fields then). UTF-8 bytes.
    std::function<std::string()> userName;
    std::function<std::string()> password;

    void open();    // connect; returns at once
    void refresh(); // Refresh List: nothing goes out until logged in
    // Disconnect Call. One hangup at a time: the PBX's answer names no channel. While one waits
    // (in a nested event loop, up to answerWait) a further call is queued and returns at once;
    // the first call returns when it and every call queued meanwhile are done, each followed
    // by its report and a refresh. A queued call that has ended or changed meanwhile is dropped.
    void hangUp(const std::string& channel);
    void close(); // ends the session, no reconnection, no report
    // While waiting to reconnect: the next attempt now.
    void retryNow();

    // A view has a modal box open: reading stops at ReadLimit, and a connection error waits
    // until the box closes.
    void setHoldReading(bool held);

    State state() const { return current; }
    int attempt() const { return nAttempt; }
    std::chrono::milliseconds nextTryIn() const;
    QString endReason() const { return sEndReason; }
    bool loggedIn() const { return current == State::Listed; }
    bool ended() const { return current == State::Ended; }
    // A connection of this session has logged in at least once.
    bool everLoggedIn() const { return bEverLoggedIn; }

    LiveCalls* liveCalls() { return live.get(); }
    const LiveCalls* liveCalls() const { return live.get(); }
    const ManagerClient& client() const { return *manager; }
    const SocketAdapter& socket() const { return tcpConn; }
    // Snapshot mode: the entries of the current listing so far.
    std::size_t entryCount() const { return nEntries; }

    // The default wait before each attempt: at once, then about 0.5, 1, 2, 4, 8 and 15 s, then
    // every 30 s, each within ±20 %.
    static std::chrono::milliseconds retrySchedule(int attempt);
    // What the operator is told when TLS could not be set up.
    static QString tlsFailureMessage(SocketAdapter::TlsProblem problem, const QString& host,
                                     bool ownAuthorities);

signals:
    void stateChanged(corvale::Session::State state);
    // Something the operator must be told, in the window's words. A slot may show it modally:
    // the session goes on once the slot returns.
    void report(const QString& text);
    // The session has ended on its own (not by close()), after its report; `reason` is it.
    void finished(const QString& reason);
    // Why a connection failed or was lost, for a log: "the connection was refused", ...
    void connectionProblem(const QString& cause);
    // A hangup has been answered (or not, within answerWait); ok false with the PBX's reason.
    // ok also when the call had already gone before its hangup could be sent; every hangup asked
    // for ends here, unless the session itself ends first.
    void hangupFinished(const std::string& channel, bool ok, const QString& reason);
    // Data was read: the calls (live) or the entries (snapshot) may have changed.
    void callsChanged();
    // Snapshot mode: the list is to be emptied (a refresh, a listing after reconnecting), and
    // one entry of a listing, its bytes as the PBX sent them.
    void entriesCleared();
    void entryListed(std::string_view entry, const corvale::EntryParts& parts);
    // Every attempt of a reconnection, and every second while waiting for one.
    void reconnectProgress();

    // Internal: what the nested wait of a hangup listens to.
    void hangupAnswered(quint64 ticket);
    void listingArrived();
    void waitsEnd();

private:
    class Ops; // the manager client's window: forwards to the members below
    friend class Ops;
    std::string challengeKey(std::string_view challenge) const;
    void addCall(std::string_view entry, const EntryParts& parts);
    void showMessage(std::string_view text);
    void endProgram();
    void send(std::string_view bytes);
    void actionAnswered(const Answer& answer);
    void listingComplete();
    void shutdownAnnounced();

    struct Queued
    {
        std::string channel;
        std::string uniqueid; // live mode: the call as it was when pressed
    };

    void setState(State next);
    void newClient();
    void configureClient();
    void connectNow();
    void stopTimers();
    void dataArrival(qint64 waiting);
    void readNow();
    void socketError(int number, const QString& description);
    void tlsFailed(SocketAdapter::TlsProblem problem);
    void greetingOverdue();
    void greeted();
    // The connection failed or went: retried when it may be, else the end with `text`.
    void lose(const QString& text, const QString& cause, bool retryable = true);
    void finish(const QString& text);
    void scheduleAttempt();
    void updateReadLimit();
    bool keepaliveOn() const;
    void armKeepalive();
    void keepaliveDue();
    void loginAccepted();
    bool commandsHeldBack();
    void requestListing();
    void clearEntries();
    void disconnectCall(const Queued& call);
    // A hangup that goes no further: the operator is told why, and so is whoever waits for it.
    void refuseHangup(const std::string& channel, const QString& why);
    bool stillThere(const Queued& call);
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

    QTimer greetingTimer;
    QTimer silenceTimer;
    QTimer pingTimer;
    QTimer retryTimer;
    QTimer progressTimer;
    QTimer poller;
    QTimer reader;
    QElapsedTimer sinceRead;

    bool bEverLoggedIn = false;
    bool bGreeted = false;
    int nAttempt = 0;
    QString sEndReason;
    int nHeld = 0;
    bool bErrorPending = false;
    QString sPendingError;
    QString sPendingCause;
    bool bPendingRetryable = true;
    QString sLastMessage;

    std::size_t nEntries = 0;
    std::unordered_set<std::string> listedChannels; // snapshot: of the current listing
    bool bListingDone = false;
    bool bRefusalShown = false;

    bool bDisconnecting = false;
    std::string sDisconnecting;
    std::deque<Queued> queuedDisconnects;
    std::set<std::uint64_t> awaitedHangups;
    std::map<std::uint64_t, Answer> hangupAnswers;
    std::uint64_t nGeneration = 0; // counts connections, so a wait notices a new one
};

} // namespace corvale
