#include "PbxSim.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

PbxSim::PbxSim(const QStringList& extraArguments, int timeoutMs)
{
    // Its complaints belong in the test's log.
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(executable(), QStringList{"--port", "0", "--control"} + extraArguments);
    const QDeadlineTimer deadline(timeoutMs);
    if (!process.waitForStarted(static_cast<int>(deadline.remainingTime()))) {
        sError = "cannot start " + executable() + ": " + process.errorString();
        return;
    }
    static const QRegularExpression listening("^listening [0-9.]+:([0-9]+)\\r?\\n$");
    while (!process.canReadLine()) {
        if (deadline.hasExpired() ||
            !process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            sError = "the simulator did not report a listening port: " +
                     QString::fromLatin1(process.readAll());
            stop();
            return;
        }
    }
    const QString line = QString::fromLatin1(process.readLine());
    const QRegularExpressionMatch match = listening.match(line);
    if (!match.hasMatch()) {
        sError = "unexpected first line from the simulator: " + line;
        stop();
        return;
    }
    nPort = static_cast<quint16>(match.captured(1).toUInt());
}

PbxSim::~PbxSim()
{
    stop();
}

void PbxSim::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

QString PbxSim::command(const QString& line, int timeoutMs)
{
    if (process.state() != QProcess::Running)
        return {};
    process.write(line.toUtf8() + '\n');
    const QDeadlineTimer deadline(timeoutMs);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() ||
            !process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return {};
    }
    return QString::fromUtf8(process.readLine()).trimmed();
}

QString PbxSim::executable()
{
    return QStringLiteral(PBXSIM_PATH);
}
