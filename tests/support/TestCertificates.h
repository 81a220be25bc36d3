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
//
// Any other certificate is made to order, beside them:
//   TestCertificates::Made wanted;
//   wanted.altNames = "DNS:other.example.org";                 // CN stays localhost
//   ASSERT_TRUE(certs.make("other", wanted)) << certs.error().toStdString();
//   PbxSim sim(certs.serverArguments("other"));
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

    // A certificate made to order by make().
    struct Made
    {
        QString commonName = QStringLiteral("localhost");
        // The subject alternative names as OpenSSL's configuration writes them
        // ("DNS:pbx.example.org,IP:127.0.0.1"); empty: the certificate has none.
        QString altNames;
        int fromDays = -1; // valid from, in days from now
        int toDays = 90;   // valid until, in days from now
        // Who signs it: "ca" (the authority), the name of another made certificate, or its own
        // name for a self-signed one.
        QString signedBy = QStringLiteral("ca");
        // An authority's (CA:TRUE) rather than a server's; it may serve TLS all the same.
        bool authority = false;
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

    // Writes `name`.pem and `name`.key beside the others; false, with error() saying why, if it
    // could not.
    bool make(const QString& name, const Made& wanted);
    QString certificateFile(const QString& name) const;
    QString keyFile(const QString& name) const;
    QStringList serverArguments(const QString& name) const;

private:
    QString pathOf(Kind kind, const char* suffix) const;

    QTemporaryDir dir;
    QString sError;
};
