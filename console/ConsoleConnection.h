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
    ~ConsoleConnection() override;

    // Where the connect dialog starts.
    void setFields(const ConnectionFields& fields) { lastFields = fields; }
    const ConnectionFields& fields() const { return lastFields; }

    // Asks where to connect, and connects. False when the operator cancelled.
    bool askAndConnect();
    // Connects with these fields and secret (UTF-8), replacing any session.
    void connectTo(const ConnectionFields& fields, const std::string& secret);

    corvale::Session* session() const { return current.get(); }
    // The session's state and protection as the status bar words them.
    QString stateText() const;
    QString protectionText() const;

    // The fields used last (never the secret), and the defaults for those never used.
    static ConnectionFields remembered();
    static void remember(const ConnectionFields& fields);

    // Tests replace the dialog.
    std::function<bool(ConnectionFields& fields, std::string& secret)> ask;

private:
    void drop();
    void updateStatus();
    void hangUp(const std::string& channel);
    void settle();

    ConsoleWindow& window;
    std::unique_ptr<corvale::Session> current;
    ConnectionFields lastFields;
    std::string sSecret; // for the logins of reconnections; never stored

    // Hangups asked and not yet answered; a session drops some without an answer (a call ended
    // meanwhile, no connection), which once it is done are reported with what it said.
    int nHangupDepth = 0;
    std::set<std::string> asked;
    QStringList reports;
};
