#include "SecretStore.h"

#include <QMessageBox>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs a job and answers through the callback once it is finished; the job deletes itself.
void run(QKeychain::Job* job, SecretStore::Callback done, bool reads)
{
    job->setAutoDelete(true);
    QObject::connect(job, &QKeychain::Job::finished, job,
                     [done = std::move(done), reads](QKeychain::Job* finished) {
                         using Outcome = SecretStore::Outcome;
                         std::string secret;
                         Outcome outcome = Outcome::Done;
                         switch (finished->error()) {
                         case QKeychain::NoError:
                             if (reads) {
                                 auto* read = static_cast<QKeychain::ReadPasswordJob*>(finished);
                                 secret = read->textData().toStdString();
                             }
                             break;
                         case QKeychain::EntryNotFound:
                             outcome = Outcome::NotFound;
                             break;
                         default:
                             // No backend, access denied or anything else: the console asks for
                             // the secret instead and goes on.
                             outcome = Outcome::NoKeyring;
                             break;
                         }
                         if (done)
                             done(outcome, secret, finished->errorString());
                     });
    job->start();
}

// Answers later, as a keyring does, that there is none.
void answerNoKeyring(SecretStore::Callback done)
{
    QTimer::singleShot(0, [done = std::move(done)] {
        if (done)
            done(SecretStore::Outcome::NoKeyring, {}, KeychainSecretStore::noKeyringText());
    });
}

} // namespace

KeychainSecretStore::KeychainSecretStore(QWidget* parent)
    : window(parent)
{}

bool KeychainSecretStore::sessionBusRuns()
{
    // Without an address, or with one that means "start a bus", libdbus and GLib look for the
    // user's bus socket and, failing that, autolaunch one. "disabled:" is how start-up marks
    // a process that has none.
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return !address.startsWith("autolaunch:") && address != "disabled:";
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return false;
    struct stat info = {};
    return ::stat((runtime + "/bus").constData(), &info) == 0 && S_ISSOCK(info.st_mode) &&
           info.st_uid == ::getuid();
}

QString KeychainSecretStore::noKeyringText()
{
    return tr("No keyring is available on this computer, so the secret cannot be remembered: "
              "you will be asked for it at each connect.");
}

void KeychainSecretStore::read(const QString& name, Callback done)
{
    if (!sessionBusRuns()) {
        answerNoKeyring(std::move(done));
        return;
    }
    auto* job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(name);
    run(job, std::move(done), true);
}

void KeychainSecretStore::write(const QString& name, const std::string& secret, Callback done)
{
    if (!sessionBusRuns()) {
        // The operator chose to remember it and is told once, where a keyring would have asked
        // for its own password; window-modal, so nothing waits on the answer.
        if (!bToldNoKeyring && window) {
            bToldNoKeyring = true;
            auto* box = new QMessageBox(QMessageBox::Information, tr("Corvale Console"),
                                        noKeyringText(), QMessageBox::Ok, window);
            box->setObjectName(QStringLiteral("noKeyringBox"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
        answerNoKeyring(std::move(done));
        return;
    }
    auto* job = new QKeychain::WritePasswordJob(Service);
    job->setKey(name);
    job->setTextData(QString::fromStdString(secret));
    run(job, std::move(done), false);
}

void KeychainSecretStore::remove(const QString& name, Callback done)
{
    if (!sessionBusRuns()) {
        answerNoKeyring(std::move(done));
        return;
    }
    auto* job = new QKeychain::DeletePasswordJob(Service);
    job->setKey(name);
    run(job, std::move(done), false);
}
