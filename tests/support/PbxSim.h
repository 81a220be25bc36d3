#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the PBX simulator for a test: starts it on a free loopback port, waits for it to say it
// is listening, and ends it again. Check port() != 0 before using it; error() says why not.
//
// It runs with --control, so a test can change the calls while its client is connected:
//   sim.command("start SIP/2041-00000001 2041 Alice Smith")  // "ok SIP/2041-00000001"
//   sim.command("callerid SIP/2041-00000001 2042 Bob")       // "ok"
//   sim.command("hangup SIP/2041-00000001")                  // "ok", or "error no such channel"
// command() returns once the simulator has made the change and queued its events for every
// client that asked for them, so the events are on their way when it returns: no timing to guess.
// Others act on the connections: "restart 2" (Shutdown, close, refuse for 2 s, take them again),
// "freeze 3" (a dead link for 3 s), "silent" / "silent off" (taken but never greeted).
// With queues (--queue-demo, --queues N) callers join, abandon and are answered:
//   sim.command("join sales SIP/5011-00000001 5565011 Zoë")  // "ok SIP/5011-00000001"
//   sim.command("answer SIP/5011-00000001")                  // a free member takes it
//   sim.command("pause Local/6001@queue-agents/n Lunch")     // "ok"
// and "hangup CHANNEL busy" ends a call with a cause. The commands are listed in
// tools/pbxsim/README.md.
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
    // Carries out one command line; returns the simulator's one-line answer ("ok ...",
    // "error ..."), or an empty string if none came in time.
    QString command(const QString& line, int timeoutMs = 5000);

    static QString executable();

private:
    QProcess process;
    quint16 nPort = 0;
    QString sError;
};
