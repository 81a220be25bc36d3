#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <optional>

// A PBX manager for Session tests, on 127.0.0.1: it greets, reads actions block by block and
// answers them as a current PBX does (login, the challenge, Status with its calls, Hangup, Ping;
// an action's ActionID repeated), and can fall silent, refuse logins, close connections and stop
// listening, as a PBX that restarts. Over TLS with `tls` set, each connection with the
// certificate set when it came.
class FakePbx : public QObject
{
    Q_OBJECT

public:
    struct Call
    {
        QByteArray channel;
        QByteArray uniqueid;
    };

    FakePbx();

    bool listen(quint16 port = 0);
    void stopListening() { server.close(); }
    quint16 port() const { return nPort; }

    // Closes every connection, as a PBX that goes away; `flushed`: after what was sent.
    void closeAll(bool flushed = false);
    // Sent to the connection last accepted.
    void send(const QByteArray& bytes);
    // Answers each hangup held so far.
    void releaseHangups();

    bool greet = true;
    bool acceptLogin = true; // the plain secret "secret", or the key made from it
    bool closeAfterLogin = false;
    std::optional<QSslConfiguration> tls;
    bool answerPing = true;
    bool holdHangups = false;
    QList<Call> calls;
    // QueueStatus: these records, each followed by the ActionID line and the empty line; a
    // QueueSummary is refused as by a PBX without it. QueuePause: this answer, or none if empty.
    QList<QByteArray> queueRecords;
    QByteArray pauseAnswer = "Response: Success\r\nMessage: Interface paused successfully\r\n\r\n";
    // Runs when an action arrives, before it is answered; returns false to leave it unanswered.
    std::function<bool(const QByteArray& action)> onAction;

    int connections() const { return accepted; }
    const QByteArray& received() const { return all; }
    // Whole actions received, in order, over every connection.
    const QList<QByteArray>& actions() const { return blocks; }
    int count(const QByteArray& actionName) const;

    QByteArray listing(const QByteArray& actionId = {}) const;

signals:
    void actionArrived(const QByteArray& action);

private:
    class Server : public QTcpServer
    {
    public:
        explicit Server(FakePbx& owner)
            : pbx(owner)
        {}

    protected:
        void incomingConnection(qintptr descriptor) override;

    private:
        FakePbx& pbx;
    };

    void accept();
    void read(QTcpSocket* peer);
    void answer(QTcpSocket* peer, const QByteArray& action);

    Server server{*this};
    quint16 nPort = 0;
    QList<QPointer<QTcpSocket>> peers;
    QList<QByteArray> buffers;
    QList<QPointer<QTcpSocket>> heldHangups;
    QByteArray all;
    QList<QByteArray> blocks;
    int accepted = 0;
};
