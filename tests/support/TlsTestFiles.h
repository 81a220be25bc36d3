#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Throw-away certificates for TLS tests, made with the openssl command in a temporary folder
// that goes with this object: a certificate authority, and server certificates for localhost
// and 127.0.0.1 signed by it, or by no one the tests trust.
class TlsTestFiles
{
public:
    enum class Kind
    {
        Good,       // signed by the authority, valid now, for localhost and 127.0.0.1
        OtherHost,  // the same, for pbx.example.org only
        Expired,    // the same names, valid only in January 2020
        NotYetValid // valid from 2090 on
    };

    struct Pair
    {
        QString certificate;
        QString key;
    };

    TlsTestFiles()
    {
        if (!dir.isValid()) {
            sError = QStringLiteral("no temporary folder");
            return;
        }
        QFile index(path("index.txt"));
        index.open(QIODevice::WriteOnly);
        write("ca.cnf", "[ca]\ndefault_ca = test\n[test]\ndatabase = index.txt\n"
                        "new_certs_dir = .\nserial = serial\ndefault_md = sha256\npolicy = any\n"
                        "unique_subject = no\n[any]\ncommonName = supplied\n"
                        "[server]\nbasicConstraints = CA:FALSE\nextendedKeyUsage = serverAuth\n"
                        "subjectAltName = $ENV::CORVALE_TEST_SAN\n");
        write("serial", "1000\n");
        openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                 "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "3", "-subj",
                 "/CN=Corvale Test CA", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                 "keyUsage=critical,keyCertSign,cRLSign"});
    }

    bool ok() const { return sError.isEmpty(); }
    const QString& error() const { return sError; }
    QString caFile() const { return path("ca.pem"); }
    QString path(const QString& name) const { return dir.filePath(name); }

    // A certificate and its key, signed by the authority.
    Pair make(Kind kind)
    {
        const QString name = QStringLiteral("server%1").arg(++nMade);
        Pair pair{path(name + ".pem"), path(name + ".key")};
        openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                 "-keyout", pair.key, "-out", name + ".csr", "-subj", "/CN=localhost"});
        QStringList sign = {"ca",     "-batch",         "-config",     "ca.cnf", "-cert",
                            "ca.pem", "-keyfile",       "ca.key",      "-in",    name + ".csr",
                            "-out",   pair.certificate, "-extensions", "server"};
        if (kind == Kind::Expired)
            sign << "-startdate"
                 << "20200101000000Z"
                 << "-enddate"
                 << "20200102000000Z";
        else if (kind == Kind::NotYetValid)
            sign << "-startdate"
                 << "20900101000000Z"
                 << "-enddate"
                 << "20900102000000Z";
        else
            sign << "-days"
                 << "3";
        const QString san = kind == Kind::OtherHost ? QStringLiteral("DNS:pbx.example.org")
                                                    : QStringLiteral("DNS:localhost,IP:127.0.0.1");
        openssl(sign, san);
        return pair;
    }

    // A certificate for the right names that signs itself: no authority vouches for it.
    Pair makeSelfSigned()
    {
        const QString name = QStringLiteral("self%1").arg(++nMade);
        Pair pair{path(name + ".pem"), path(name + ".key")};
        openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                 "-nodes", "-keyout", pair.key, "-out", pair.certificate, "-days", "3", "-subj",
                 "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"});
        return pair;
    }

    void write(const QString& name, const QByteArray& text) const
    {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
    }

private:
    void openssl(const QStringList& arguments, const QString& san = QString())
    {
        if (!ok())
            return;
        QProcess tool;
        tool.setWorkingDirectory(dir.path());
        tool.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CORVALE_TEST_SAN"),
                   san.isEmpty() ? QStringLiteral("DNS:x") : san);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("openssl"), arguments);
        if (!tool.waitForFinished(20000) || tool.exitStatus() != QProcess::NormalExit ||
            tool.exitCode() != 0)
            sError = QStringLiteral("openssl %1 failed: %2")
                         .arg(arguments.join(u' '), QString::fromLocal8Bit(tool.readAll()));
    }

    QTemporaryDir dir;
    QString sError;
    int nMade = 0;
};
