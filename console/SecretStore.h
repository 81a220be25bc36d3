#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>

// Where remembered secrets are kept, by profile name. Every request answers once, later,
// through its callback; tests use a fake.
class SecretStore
{
public:
    enum class Outcome
    {
        Done,      // stored, read or removed
        NotFound,  // nothing stored under the name
        NoKeyring, // no keyring answers, or it refused: ask the operator this time
    };
    // secret: what was read (UTF-8), else empty; error: the keyring's words for a failure.
    using Callback =
        std::function<void(Outcome outcome, const std::string& secret, const QString& error)>;

    virtual ~SecretStore() = default;
    virtual void read(const QString& name, Callback done) = 0;
    virtual void write(const QString& name, const std::string& secret, Callback done) = 0;
    virtual void remove(const QString& name, Callback done) = 0;
};

// The desktop's keyring (Secret Service, KWallet...) through QtKeychain, under the service name
// of the application id.
class KeychainSecretStore : public SecretStore
{
public:
    static inline const QString Service = QStringLiteral("org.example.corvale");

    void read(const QString& name, Callback done) override;
    void write(const QString& name, const std::string& secret, Callback done) override;
    void remove(const QString& name, Callback done) override;
};
