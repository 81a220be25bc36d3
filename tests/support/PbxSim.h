#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the PBX simulator for a test: starts it on a free loopback port, waits for it to say it
// is listening, and ends it again. Check port() != 0 before using it; error() says why not.
class PbxSim
{
public:
    // Extra arguments go to the simulator as they are; "--port 0" comes first, so an explicit
    // --port among them wins.
    explicit PbxSim(const QStringList& extraArguments = {}, int timeoutMs = 10000);
    ~PbxSim();
    PbxSim(const PbxSim&) = delete;
    PbxSim& operator=(const PbxSim&) = delete;

    quint16 port() const { return nPort; }
    bool isRunning() const { return process.state() == QProcess::Running; }
    const QString& error() const { return sError; }
    // Ends the simulator (politely, then by force) and waits for it.
    void stop();

    static QString executable();

private:
    QProcess process;
    quint16 nPort = 0;
    QString sError;
};
