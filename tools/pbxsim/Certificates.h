#pragma once

#include <memory>
#include <string>
#include <string_view>

typedef struct evp_pkey_st EVP_PKEY;
typedef struct x509_st X509;

namespace pbxsim {

// A key and the certificate for it, as OpenSSL holds them.
struct KeyPair
{
    std::shared_ptr<EVP_PKEY> key;
    std::shared_ptr<X509> certificate;
    explicit operator bool() const { return key && certificate; }
};

// The kinds of server certificate the simulator can present. All but Good are faults a client
// must refuse: another host's, one that has expired, one from an authority it does not trust.
enum class CertificateKind
{
    Good,
    WrongHost,
    Expired,
    Untrusted
};
bool parseCertificateKind(std::string_view text, CertificateKind& kind);

// A throw-away certificate authority.
KeyPair makeAuthority(std::string_view commonName);

// A server certificate of this kind, for localhost and 127.0.0.1 (WrongHost: for
// pbx.example.com only), signed by `authority`; an Untrusted one is signed by a fresh authority
// of its own instead.
KeyPair makeServerCertificate(CertificateKind kind, const KeyPair& authority);

// Reads a PEM certificate and its PEM key; empty, with a reason in `error`, when either fails.
KeyPair readKeyPair(const std::string& certificateFile, const std::string& keyFile,
                    std::string& error);

// Writes `pair` as PEM files: the certificate to `base`.pem, the key (unencrypted) to `base`.key.
bool writeKeyPair(const KeyPair& pair, const std::string& base);

// Writes a set for tests into `directory`: ca.pem and ca.key, the authority to trust, and
// localhost, wrong-host, expired and untrusted (.pem and .key), one of each kind.
bool writeTestCertificates(const std::string& directory, std::string& error);

} // namespace pbxsim
