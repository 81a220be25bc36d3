#include "Certificates.h"

#include <cstdio>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace pbxsim {

namespace {

constexpr long Day = 24 * 60 * 60;

std::shared_ptr<EVP_PKEY> ownKey(EVP_PKEY* key)
{
    return {key, EVP_PKEY_free};
}

std::shared_ptr<X509> ownCertificate(X509* certificate)
{
    return {certificate, X509_free};
}

bool addExtension(X509* certificate, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr)
        return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

struct Validity
{
    long fromSeconds; // relative to now
    long toSeconds;
};

// A certificate for `key` named `commonName`, valid as given, signed by `issuer` (itself when
// null), with the extensions of a CA or of a TLS server for `altNames`.
std::shared_ptr<X509> sign(const std::shared_ptr<EVP_PKEY>& key, std::string_view commonName,
                           Validity validity, const KeyPair* issuer, const char* altNames)
{
    auto certificate = ownCertificate(X509_new());
    if (!certificate || !key)
        return {};
    X509* cert = certificate.get();
    unsigned char serial[8];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7f; // a positive number
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert));
    BN_free(number);
    X509_set_version(cert, 2);
    X509_gmtime_adj(X509_getm_notBefore(cert), validity.fromSeconds);
    X509_gmtime_adj(X509_getm_notAfter(cert), validity.toSeconds);
    X509_set_pubkey(cert, key.get());
    X509_NAME* name = X509_get_subject_name(cert);
    const std::string cn(commonName);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Corvale tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(cn.c_str()), -1, -1, 0);
    X509* issuerCert = issuer != nullptr ? issuer->certificate.get() : cert;
    X509_set_issuer_name(cert, X509_get_subject_name(issuerCert));
    bool ok = addExtension(cert, issuerCert, NID_subject_key_identifier, "hash");
    if (altNames == nullptr) {
        ok = ok && addExtension(cert, issuerCert, NID_basic_constraints, "critical,CA:TRUE") &&
             addExtension(cert, issuerCert, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        ok = ok && addExtension(cert, issuerCert, NID_basic_constraints, "critical,CA:FALSE") &&
             addExtension(cert, issuerCert, NID_key_usage, "critical,digitalSignature") &&
             addExtension(cert, issuerCert, NID_ext_key_usage, "serverAuth") &&
             addExtension(cert, issuerCert, NID_subject_alt_name, altNames) &&
             addExtension(cert, issuerCert, NID_authority_key_identifier, "keyid");
    }
    EVP_PKEY* signer = issuer != nullptr ? issuer->key.get() : key.get();
    if (!ok || X509_sign(cert, signer, EVP_sha256()) == 0)
        return {};
    return certificate;
}

std::shared_ptr<EVP_PKEY> newKey()
{
    return ownKey(EVP_EC_gen("P-256"));
}

std::string lastError()
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return text;
}

} // namespace

bool parseCertificateKind(std::string_view text, CertificateKind& kind)
{
    if (text == "wrong-host")
        kind = CertificateKind::WrongHost;
    else if (text == "expired")
        kind = CertificateKind::Expired;
    else if (text == "untrusted")
        kind = CertificateKind::Untrusted;
    else
        return false;
    return true;
}

KeyPair makeAuthority(std::string_view commonName)
{
    KeyPair pair;
    pair.key = newKey();
    pair.certificate = sign(pair.key, commonName, {-Day, 365 * Day}, nullptr, nullptr);
    return pair;
}

KeyPair makeServerCertificate(CertificateKind kind, const KeyPair& authority)
{
    constexpr const char* Local = "DNS:localhost,IP:127.0.0.1";
    KeyPair pair;
    pair.key = newKey();
    switch (kind) {
    case CertificateKind::Good:
        pair.certificate = sign(pair.key, "localhost", {-Day, 90 * Day}, &authority, Local);
        break;
    case CertificateKind::WrongHost:
        pair.certificate =
            sign(pair.key, "pbx.example.com", {-Day, 90 * Day}, &authority, "DNS:pbx.example.com");
        break;
    case CertificateKind::Expired:
        pair.certificate = sign(pair.key, "localhost", {-60 * Day, -Day}, &authority, Local);
        break;
    case CertificateKind::Untrusted: {
        const KeyPair stranger = makeAuthority("Corvale tests: an authority nobody trusts");
        pair.certificate = sign(pair.key, "localhost", {-Day, 90 * Day}, &stranger, Local);
        break;
    }
    }
    return pair;
}

KeyPair readKeyPair(const std::string& certificateFile, const std::string& keyFile,
                    std::string& error)
{
    KeyPair pair;
    if (std::FILE* file = std::fopen(certificateFile.c_str(), "rb")) {
        pair.certificate = ownCertificate(PEM_read_X509(file, nullptr, nullptr, nullptr));
        std::fclose(file);
    }
    if (!pair.certificate) {
        error = "cannot read a PEM certificate from " + certificateFile;
        return {};
    }
    if (std::FILE* file = std::fopen(keyFile.c_str(), "rb")) {
        pair.key = ownKey(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
        std::fclose(file);
    }
    if (!pair.key) {
        error = "cannot read a PEM key from " + keyFile;
        return {};
    }
    if (X509_check_private_key(pair.certificate.get(), pair.key.get()) != 1) {
        error = keyFile + " is not the key of " + certificateFile + ": " + lastError();
        return {};
    }
    return pair;
}

bool writeKeyPair(const KeyPair& pair, const std::string& base)
{
    if (!pair)
        return false;
    bool ok = false;
    if (std::FILE* file = std::fopen((base + ".pem").c_str(), "wb")) {
        ok = PEM_write_X509(file, pair.certificate.get()) == 1;
        ok = std::fclose(file) == 0 && ok;
    }
    if (std::FILE* file = std::fopen((base + ".key").c_str(), "wb"); ok && file != nullptr) {
        ok = PEM_write_PrivateKey(file, pair.key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
        ok = std::fclose(file) == 0 && ok;
    } else {
        if (file != nullptr)
            std::fclose(file);
        ok = false;
    }
    return ok;
}

bool writeTestCertificates(const std::string& directory, std::string& error)
{
    const KeyPair authority = makeAuthority("Corvale tests: throw-away authority");
    const std::string base = directory + "/";
    bool ok = writeKeyPair(authority, base + "ca");
    const std::pair<CertificateKind, const char*> kinds[] = {
        {CertificateKind::Good, "localhost"},
        {CertificateKind::WrongHost, "wrong-host"},
        {CertificateKind::Expired, "expired"},
        {CertificateKind::Untrusted, "untrusted"}};
    for (const auto& [kind, name] : kinds)
        ok = ok && writeKeyPair(makeServerCertificate(kind, authority), base + name);
    if (!ok)
        error = "cannot write the certificates to " + directory;
    return ok;
}

} // namespace pbxsim
