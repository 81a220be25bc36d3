#include "SecretStore.h"

#include <qt6keychain/keychain.h>

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

} // namespace

void KeychainSecretStore::read(const QString& name, Callback done)
{
    auto* job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(name);
    run(job, std::move(done), true);
}

void KeychainSecretStore::write(const QString& name, const std::string& secret, Callback done)
{
    auto* job = new QKeychain::WritePasswordJob(Service);
    job->setKey(name);
    job->setTextData(QString::fromStdString(secret));
    run(job, std::move(done), false);
}

void KeychainSecretStore::remove(const QString& name, Callback done)
{
    auto* job = new QKeychain::DeletePasswordJob(Service);
    job->setKey(name);
    run(job, std::move(done), false);
}
