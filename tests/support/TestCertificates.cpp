#include "TestCertificates.h"

#include "PbxSim.h"

#include <QFileInfo>
#include <QProcess>

TestCertificates::TestCertificates()
{
    if (!dir.isValid()) {
        sError = "no temporary directory: " + dir.errorString();
        return;
    }
    QProcess maker;
    maker.setProcessChannelMode(QProcess::MergedChannels);
    maker.start(PbxSim::executable(), {"--make-certs", dir.path()});
    if (!maker.waitForFinished(20000) || maker.exitStatus() != QProcess::NormalExit ||
        maker.exitCode() != 0) {
        sError = "pbxsim --make-certs failed: " + QString::fromLocal8Bit(maker.readAll()) +
                 maker.errorString();
        return;
    }
    for (const Kind kind : {Good, WrongHost, Expired, Untrusted}) {
        if (!QFileInfo::exists(certificateFile(kind)) || !QFileInfo::exists(keyFile(kind)))
            sError = "pbxsim --make-certs left out " + certificateFile(kind);
    }
}

QString TestCertificates::caFile() const
{
    return dir.filePath("ca.pem");
}

QString TestCertificates::caKeyFile() const
{
    return dir.filePath("ca.key");
}

QString TestCertificates::pathOf(Kind kind, const char* suffix) const
{
    static const char* const Names[] = {"localhost", "wrong-host", "expired", "untrusted"};
    return dir.filePath(QString::fromLatin1(Names[kind]) + QLatin1String(suffix));
}

QString TestCertificates::certificateFile(Kind kind) const
{
    return pathOf(kind, ".pem");
}

QString TestCertificates::keyFile(Kind kind) const
{
    return pathOf(kind, ".key");
}

QStringList TestCertificates::serverArguments(Kind kind) const
{
    return {"--tls-cert", certificateFile(kind), "--tls-key", keyFile(kind)};
}
