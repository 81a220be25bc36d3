#include "TestCertificates.h"

#include "PbxSim.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {

constexpr long Day = 24 * 60 * 60;

template <class T, void (*Free)(T*)> struct Deleter
{
    void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, BIO* bio)
{
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data, size) == size;
}

Bio memoryOf(const QByteArray& bytes)
{
    return Bio(BIO_new_mem_buf(bytes.constData(), static_cast<int>(bytes.size())));
}

bool addExtension(X509* certificate, X509* issuer, int nid, const QByteArray& value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.constData());
    if (extension == nullptr)
        return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

} // namespace

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

QString TestCertificates::certificateFile(const QString& name) const
{
    return dir.filePath(name + ".pem");
}

QString TestCertificates::keyFile(const QString& name) const
{
    return dir.filePath(name + ".key");
}

QStringList TestCertificates::serverArguments(const QString& name) const
{
    return {"--tls-cert", certificateFile(name), "--tls-key", keyFile(name)};
}

bool TestCertificates::make(const QString& name, const Made& wanted)
{
    const auto fail = [this, &name](const QString& why) {
        sError = "cannot make the certificate " + name + ": " + why;
        return false;
    };
    const Key key(EVP_EC_gen("P-256"));
    const Certificate certificate(X509_new());
    if (!key || !certificate)
        return fail("out of memory");
    X509* cert = certificate.get();

    const bool self = wanted.signedBy == name;
    Key issuerKey;
    Certificate issuerCertificate;
    if (!self) {
        const QByteArray pem = readFile(certificateFile(wanted.signedBy));
        const QByteArray keyPem = readFile(keyFile(wanted.signedBy));
        issuerCertificate.reset(PEM_read_bio_X509(memoryOf(pem).get(), nullptr, nullptr, nullptr));
        issuerKey.reset(PEM_read_bio_PrivateKey(memoryOf(keyPem).get(), nullptr, nullptr, nullptr));
        if (!issuerCertificate || !issuerKey)
            return fail("no certificate and key " + wanted.signedBy + " to sign it with");
    }
    X509* issuer = self ? cert : issuerCertificate.get();
    EVP_PKEY* signer = self ? key.get() : issuerKey.get();

    // Serial numbers only need to differ between certificates of one issuer.
    static long serial = 1000;
    ASN1_INTEGER_set(X509_get_serialNumber(cert), ++serial);
    X509_set_version(cert, 2);
    X509_gmtime_adj(X509_getm_notBefore(cert), wanted.fromDays * Day);
    X509_gmtime_adj(X509_getm_notAfter(cert), wanted.toDays * Day);
    X509_set_pubkey(cert, key.get());
    const QByteArray commonName = wanted.commonName.toUtf8();
    X509_NAME* subject = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Corvale tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.constData()), -1,
                               -1, 0);
    X509_set_issuer_name(cert, X509_get_subject_name(issuer));

    bool ok = addExtension(cert, issuer, NID_subject_key_identifier, "hash");
    if (wanted.authority) {
        ok = ok && addExtension(cert, issuer, NID_basic_constraints, "critical,CA:TRUE") &&
             addExtension(cert, issuer, NID_key_usage,
                          "critical,keyCertSign,cRLSign,digitalSignature");
    } else {
        ok = ok && addExtension(cert, issuer, NID_basic_constraints, "critical,CA:FALSE") &&
             addExtension(cert, issuer, NID_key_usage, "critical,digitalSignature") &&
             addExtension(cert, issuer, NID_ext_key_usage, "serverAuth");
    }
    if (!wanted.altNames.isEmpty())
        ok = ok && addExtension(cert, issuer, NID_subject_alt_name, wanted.altNames.toUtf8());
    if (!self)
        ok = ok && addExtension(cert, issuer, NID_authority_key_identifier, "keyid");
    if (!ok)
        return fail("bad extensions (subjectAltName " + wanted.altNames + ")");
    if (X509_sign(cert, signer, EVP_sha256()) == 0)
        return fail("signing failed");

    const Bio pem(BIO_new(BIO_s_mem()));
    const Bio keyPem(BIO_new(BIO_s_mem()));
    if (!pem || !keyPem || PEM_write_bio_X509(pem.get(), cert) != 1 ||
        PEM_write_bio_PrivateKey(keyPem.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1)
        return fail("cannot write it as PEM");
    if (!writeFile(certificateFile(name), pem.get()) || !writeFile(keyFile(name), keyPem.get()))
        return fail("cannot write it to " + dir.path());
    return true;
}
