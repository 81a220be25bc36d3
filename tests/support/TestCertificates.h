#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Throw-away certificates for TLS tests: a certificate authority, a good certificate for the
// simulator and one of each fault, made fresh (by `pbxsim --make-certs`) in a temporary directory
// that is removed with the object.
//
//   TestCertificates certs;
//   ASSERT_TRUE(certs.isValid()) << certs.error().toStdString();
//   PbxSim sim(certs.serverArguments(TestCertificates::Expired));  // --tls-cert F --tls-key K
//   // the client trusts certs.caFile() (e.g. corvale --tls --tls-ca <caFile>) and connects to
//   // 127.0.0.1 by the name "localhost"
//
// Kinds, all but WrongHost for localhost and 127.0.0.1 (subjectAltName DNS:localhost,
// IP:127.0.0.1):
//   Good       signed by the authority, valid from yesterday for 90 days
//   WrongHost  signed by the authority, for pbx.example.com only
//   Expired    signed by the authority, expired yesterday
//   Untrusted  signed by another authority, one that is nowhere to be found
// The simulator can also make the faulty ones itself at start:
//   {"--tls-fault", "expired", "--tls-ca-cert", certs.caFile(), "--tls-ca-key", certs.caKeyFile()}
class TestCertificates
{
public:
    enum Kind
    {
        Good,
        WrongHost,
        Expired,
        Untrusted
    };

    TestCertificates();
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    bool isValid() const { return sError.isEmpty(); }
    const QString& error() const { return sError; }

    QString caFile() const;    // the authority's certificate (PEM): the one to trust
    QString caKeyFile() const; // its key (PEM), for --tls-ca-key
    QString certificateFile(Kind kind) const;
    QString keyFile(Kind kind) const;
    // The simulator's arguments to serve TLS with the certificate of this kind.
    QStringList serverArguments(Kind kind) const;

private:
    QString pathOf(Kind kind, const char* suffix) const;

    QTemporaryDir dir;
    QString sError;
};
