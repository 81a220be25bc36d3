#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <string>

class QWidget;

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
// of the application id. The keyring is reached over the session bus; where none runs, none is
// started: D-Bus would autolaunch a bus, and the bus a keyring daemon asking for a new keyring's
// password, both outliving the console. Then every request answers NoKeyring, and the first
// secret to be remembered is answered with a message on `window` saying why it cannot be.
class KeychainSecretStore : public SecretStore
{
    Q_DECLARE_TR_FUNCTIONS(KeychainSecretStore)

public:
    static inline const QString Service = QStringLiteral("org.example.corvale");

    explicit KeychainSecretStore(QWidget* window = nullptr);

    void read(const QString& name, Callback done) override;
    void write(const QString& name, const std::string& secret, Callback done) override;
    void remove(const QString& name, Callback done) override;

    // Whether a session bus runs that a library reaches without starting one: the address in
    // DBUS_SESSION_BUS_ADDRESS, or the user's bus socket $XDG_RUNTIME_DIR/bus.
    static bool sessionBusRuns();
    // What the operator is told when a secret cannot be remembered for want of a keyring.
    static QString noKeyringText();

private:
    QPointer<QWidget> window;
    bool bToldNoKeyring = false;
};
