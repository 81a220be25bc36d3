#pragma once

#include "ConnectionFields.h"
#include "Target.h"
#include "session/Session.h"

#include <QList>
#include <QObject>
#include <QTime>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class ConsoleWindow;

// Ties one PBX's Session to the console window under a key: its calls and state go up to the
// window, the window's hangups on this PBX and its refreshes go down to the session.
// Connecting again replaces the session. Live mode is always on, reconnection unless turned off.
class ConsoleConnection : public QObject
{
    Q_OBJECT

public:
    // The key of the connect dialog's connection; saved PBXs take 1 and up.
    static constexpr int DialogKey = 0;

    // A connection without a profile name is the connect dialog's: known by its host, it says its
    // state in full and names the window. A saved PBX's is known by its name and says its state
    // in a few words, as several share the status bar.
    ConsoleConnection(ConsoleWindow& window, int key, const QString& profile = QString(),
                      QObject* parent = nullptr);
    ~ConsoleConnection() override;

    // Where the connect dialog starts.
    void setFields(const ConnectionFields& fields) { lastFields = fields; }
    const ConnectionFields& fields() const { return lastFields; }

    // Asks where to connect, and connects. False when the operator cancelled.
    bool askAndConnect();
    // Connects with these fields and secret (UTF-8), replacing any session.
    void connectTo(const ConnectionFields& fields, const std::string& secret);

    corvale::Session* session() const { return current.get(); }
    int key() const { return nKey; }
    // Whether a lost connection is retried (on unless a saved PBX says otherwise).
    void setReconnect(bool on) { bReconnect = on; }
    // How often the session reads, from the next connect on; by default the session's own.
    void setReadInterval(std::chrono::milliseconds interval) { readInterval = interval; }
    // Ends the session and takes its calls off the window.
    void close();
    // The session's state and protection as the status bar words them.
    QString stateText() const;
    QString protectionText() const;
    // The state in a few words, for one of several PBXs' status bar labels.
    QString shortStateText() const;

    // The fields used last (never the secret), and the defaults for those never used.
    static ConnectionFields remembered();
    static void remember(const ConnectionFields& fields);

    // Which action lists the calls, for the state's tool tip; empty until logged in.
    QString listingText() const;

    // Tests replace the dialog, and the cause lines' standard error.
    std::function<bool(ConnectionFields& fields, std::string& secret)> ask;
    std::function<void(const QString& line)> logLine;

private:
    void hangUp(const QList<Target>& targets);
    void drop();
    void updateStatus();
    void stateChanged(corvale::Session::State state);
    void hangupEnded(const corvale::SessionReport& outcome);
    void logProblem(const corvale::ConnectionProblem& problem);
    // The session's queues on the window's Queues tab, and pauses asked for there.
    void followQueues(corvale::Session& session);
    QString name() const;
    QString endText() const;
    QString reconnectingText(const QString& format) const;

    ConsoleWindow& window;
    const int nKey;
    const QString sProfile;
    std::unique_ptr<corvale::Session> current;
    ConnectionFields lastFields;
    std::string sSecret; // for the logins of reconnections; never stored
    bool bReconnect = true;
    bool bQueuesPolled = false;
    std::optional<std::chrono::milliseconds> readInterval;
    QTime lostAt;                  // while reconnecting: when the connection went
    std::string_view shownListing; // the listing action the status last named
};
