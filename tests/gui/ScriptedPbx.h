#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTcpSocket>

#include <deque>
#include <memory>
#include <optional>
#include <utility>

// A loopback port nobody listens on: bound, then released.
quint16 unusedPort();

// A PBX manager played by the test on 127.0.0.1: it records every byte the window sends and
// answers from a script of (request, reply) pairs, in order, from inside whatever event loop is
// running, so that a command waiting in a nested loop gets its answer.
class ScriptedPbx : public QObject
{
    Q_OBJECT

public:
    // With a TLS configuration (certificate and key), it speaks TLS: a client is greeted once
    // its handshake is done, and what it sends counts from then on.
    explicit ScriptedPbx(const std::optional<QSslConfiguration>& tls = std::nullopt);

    quint16 port() const { return server->serverPort(); }
    bool connected() const { return peer != nullptr; }
    int connections() const { return accepted; }
    // Every byte received so far, over all connections; a listing's ActionID, fresh and random
    // each time, as "*", so that a test pins every other byte.
    QByteArray received() const;

    // When `request` has arrived (after the previous rule's request), send `reply`.
    void onRequest(const QByteArray& request, const QByteArray& reply);
    // Sent as soon as a client connects (or at once if one is connected).
    void greet(const QByteArray& greeting);
    void send(const QByteArray& data);
    // Closes this end once what was written has gone out.
    void hangUp();
    // Closes right after the last rule's reply, as a PBX does after refusing a login.
    void hangUpAfterReplies() { bHangUpWhenDone = true; }

    // Waits until `text` has been received `times` times.
    bool waitForReceived(const QByteArray& text, int times = 1, int timeoutMs = 5000);

signals:
    void receivedMore();

private:
    void accept();
    void readPeer();
    void runRules();

    std::unique_ptr<QTcpServer> server;
    QPointer<QTcpSocket> peer;
    QByteArray bytes;
    qsizetype matchedUpTo = 0;
    QByteArray greeting;
    std::deque<std::pair<QByteArray, QByteArray>> rules;
    int accepted = 0;
    bool bHangUpWhenDone = false;
};
