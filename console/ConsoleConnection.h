#pragma once

#include "ConnectDialog.h"
#include "session/Session.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <set>
#include <string>

class ConsoleWindow;

// Ties the console window to a Session: the window's commands go down to it, its news comes up
// to the window. Connecting again replaces the session. Live mode and reconnection are always on.
class ConsoleConnection : public QObject
{
    Q_OBJECT

public:
    explicit ConsoleConnection(ConsoleWindow& window, QObject* parent = nullptr);
    // One of several PBXs: its calls are added to the window's under `key` (1 and up) beside the
    // others', its state is a status bar label of its own, and the window's commands stay with
    // whoever routes them.
    ConsoleConnection(ConsoleWindow& window, int key, const QString& name,
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
    // Whether a lost connection is retried (on unless a saved PBX says otherwise).
    void setReconnect(bool on) { bReconnect = on; }
    // Hangs up one channel; the answer goes to the window.
    void hangUp(const std::string& channel);
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

    // Tests replace the dialog.
    std::function<bool(ConnectionFields& fields, std::string& secret)> ask;

private:
    void drop();
    void updateStatus();
    void settle();
    bool several() const { return nKey > 0; }

    ConsoleWindow& window;
    std::unique_ptr<corvale::Session> current;
    ConnectionFields lastFields;
    std::string sSecret; // for the logins of reconnections; never stored
    int nKey = 0;        // 0: the window's only connection
    QString sName;
    bool bReconnect = true;

    // Hangups asked and not yet answered.
    int nHangupDepth = 0;
    std::set<std::string> asked;
};
