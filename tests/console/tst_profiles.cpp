#include "CallTreeModel.h"
#include "ConnectDialog.h"
#include "ConsoleConnection.h"
#include "ConsoleStatusBar.h"
#include "ConsoleWindow.h"
#include "PbxProfile.h"
#include "PbxSim.h"
#include "ProfileConnections.h"
#include "SecretStore.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <csignal>
#include <map>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace {

// A keyring in memory that answers later, as a real one does; or none at all.
class FakeSecrets : public SecretStore
{
public:
    bool available = true;
    std::map<QString, std::string> stored;
    int reads = 0;

    void read(const QString& name, Callback done) override
    {
        ++reads;
        const auto it = stored.find(name);
        answer(std::move(done), it == stored.end() ? Outcome::NotFound : Outcome::Done,
               it == stored.end() ? std::string() : it->second);
    }
    void write(const QString& name, const std::string& secret, Callback done) override
    {
        if (available)
            stored[name] = secret;
        answer(std::move(done), Outcome::Done, {});
    }
    void remove(const QString& name, Callback done) override
    {
        const bool had = available && stored.erase(name) > 0;
        answer(std::move(done), had ? Outcome::Done : Outcome::NotFound, {});
    }

private:
    void answer(Callback done, Outcome outcome, const std::string& secret)
    {
        if (!available)
            outcome = Outcome::NoKeyring;
        QTimer::singleShot(0, [done = std::move(done), outcome, secret] {
            if (done)
                done(outcome, secret, QString());
        });
    }
};

PbxProfile profileFor(const QString& name, const PbxSim& sim, bool remember)
{
    PbxProfile profile;
    profile.name = name;
    profile.fields.host = QStringLiteral("127.0.0.1");
    profile.fields.port = QString::number(sim.port());
    profile.rememberSecret = remember;
    return profile;
}

} // namespace

// Saved PBXs: kept in the settings without their secret, secrets in the keyring (or asked for
// when there is none), and several PBXs connected at once in one tree.
class tst_profiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void profilesAreSavedWithoutTheirSecret();
    void profileDialogChecksTheName();
    void rememberedSecretLogsIn();
    void withoutKeyringTheSecretIsAskedAtEachConnect();
    void unknownProfileIsSaidAndStartConnectsMarkedOnes();
    void twoPbxsInOneTree();
    void realKeychainWithoutSessionBusReportsNoKeyring();
    void withoutSessionBusNothingIsStartedAndTheOperatorIsTold();
    void realKeychainRemembersAndForgets();

private:
    QString settingsFile() const;
    QTemporaryDir settingsDir;
};

void tst_profiles::initTestCase()
{
    QVERIFY(settingsDir.isValid());
    QCoreApplication::setOrganizationName(QStringLiteral("org.example"));
    QCoreApplication::setApplicationName(QStringLiteral("corvale-profiles-test"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
}

void tst_profiles::init()
{
    QSettings().clear();
}

QString tst_profiles::settingsFile() const
{
    return QSettings().fileName();
}

void tst_profiles::profilesAreSavedWithoutTheirSecret()
{
    ConsoleWindow window;
    FakeSecrets secrets;
    ProfileConnections profiles(window, secrets);

    PbxProfile hq;
    hq.name = QStringLiteral("HQ Zürich");
    hq.fields.host = QStringLiteral("pbx.example.org");
    hq.fields.port = QStringLiteral("5039");
    hq.fields.user = QStringLiteral("desk");
    hq.fields.tls = true;
    hq.fields.challengeLogin = true;
    hq.reconnect = false;
    hq.rememberSecret = true;
    hq.connectAtStart = true;
    const std::string secret = "Xq7-unguessable-secret";
    profiles.saveProfile(hq, secret);
    QTRY_COMPARE(secrets.stored.count(hq.name), std::size_t{1});
    QCOMPARE(secrets.stored[hq.name], secret);

    QSettings().sync();
    QFile file(settingsFile());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(settingsFile()));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains("pbx.example.org"));
    QVERIFY(!bytes.contains(secret.c_str()));

    QCOMPARE(PbxProfile::names(), QStringList{hq.name});
    const auto loaded = PbxProfile::load(hq.name);
    QVERIFY(loaded);
    QCOMPARE(loaded->fields.host, hq.fields.host);
    QCOMPARE(loaded->fields.port, hq.fields.port);
    QCOMPARE(loaded->fields.user, hq.fields.user);
    QVERIFY(loaded->fields.tls && loaded->fields.challengeLogin);
    QVERIFY(!loaded->reconnect && loaded->rememberSecret && loaded->connectAtStart);
    QVERIFY(!PbxProfile::load(QStringLiteral("HQ")));

    // Renamed without typing the secret again: it moves with the name.
    PbxProfile renamed = *loaded;
    renamed.name = QStringLiteral("Head office");
    profiles.saveProfile(renamed, {}, hq.name);
    QTRY_COMPARE(secrets.stored.count(renamed.name), std::size_t{1});
    QTRY_COMPARE(secrets.stored.count(hq.name), std::size_t{0});
    QCOMPARE(PbxProfile::names(), QStringList{renamed.name});

    // No longer remembered: the keyring forgets it; removed: the profile goes with its secret.
    renamed.rememberSecret = false;
    profiles.saveProfile(renamed, {}, renamed.name);
    QTRY_VERIFY(secrets.stored.empty());
    renamed.rememberSecret = true;
    profiles.saveProfile(renamed, "again", renamed.name);
    QTRY_COMPARE(secrets.stored.size(), std::size_t{1});
    profiles.removeProfile(renamed.name);
    QTRY_VERIFY(secrets.stored.empty());
    QVERIFY(PbxProfile::names().isEmpty());

    // Names that would break the settings' groups are refused.
    for (const QString& bad : {QString(), QStringLiteral("a/b"), QStringLiteral(" HQ")})
        QVERIFY(!PbxProfile::checkName(bad).isEmpty());
}

void tst_profiles::profileDialogChecksTheName()
{
    ConnectDialog dialog;
    PbxProfile branch;
    branch.name = QStringLiteral("HQ");
    branch.fields.host = QStringLiteral("branch.example.org");
    branch.connectAtStart = true;
    dialog.setProfile(branch, {QStringLiteral("HQ")});
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("nameEdit"));
    auto* why = dialog.findChild<QLabel*>(QStringLiteral("errorLabel"));
    QVERIFY(name && why);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(why->text(), QStringLiteral("There is already a PBX named HQ."));
    name->setText(QStringLiteral("Branch"));
    dialog.findChild<QCheckBox*>(QStringLiteral("rememberCheck"))->setChecked(true);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const PbxProfile accepted = dialog.profile();
    QCOMPARE(accepted.name, QStringLiteral("Branch"));
    QCOMPARE(accepted.fields.host, QStringLiteral("branch.example.org"));
    QVERIFY(accepted.rememberSecret && accepted.connectAtStart && accepted.reconnect);
}

void tst_profiles::rememberedSecretLogsIn()
{
    PbxSim sim({"--secret", "s3cret", "--calls", "2"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    ConsoleWindow window;
    FakeSecrets secrets;
    ProfileConnections profiles(window, secrets);
    int asked = 0;
    profiles.askSecret = [&asked](const QString&, std::string&) {
        ++asked;
        return false;
    };
    profiles.saveProfile(profileFor(QStringLiteral("HQ"), sim, true), "s3cret");
    QTRY_COMPARE(secrets.stored.size(), std::size_t{1});
    profiles.connectProfile(QStringLiteral("HQ"));
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 2, 10000);
    QCOMPARE(window.status().pbxStateText(), QStringLiteral("HQ: connected"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("pbxLabel1"))->toolTip(),
             QStringLiteral("Connected to 127.0.0.1:%1 as admin\nNot encrypted\nCalls listed with "
                            "Status")
                 .arg(sim.port()));
    QCOMPARE(asked, 0);
    // One PBX: no PBX column.
    QVERIFY(!window.showsPbxColumn());
    // The connect dialog's own connection coming and going keeps the saved PBX's calls.
    ConsoleConnection dialogs(window, ConsoleConnection::DialogKey);
    ConnectionFields fields = profileFor(QStringLiteral("HQ"), sim, false).fields;
    dialogs.connectTo(fields, "s3cret");
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 4, 10000);
    dialogs.close();
    QCOMPARE(window.model()->rowCount(), 2);
    QCOMPARE(window.model()->index(1, CallTreeModel::Pbx).data().toString(), QStringLiteral("HQ"));

    profiles.disconnectProfile(QStringLiteral("HQ"));
    QCOMPARE(window.model()->rowCount(), 0);
    QVERIFY(window.status().pbxStateText().isEmpty());
}

void tst_profiles::withoutKeyringTheSecretIsAskedAtEachConnect()
{
    PbxSim sim({"--secret", "s3cret", "--calls", "1"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    ConsoleWindow window;
    FakeSecrets secrets;
    secrets.available = false;
    ProfileConnections profiles(window, secrets);
    QStringList asked;
    profiles.askSecret = [&asked](const QString& name, std::string& secret) {
        asked << name;
        secret = "s3cret";
        return true;
    };
    QStringList messages;
    connect(window.statusBar(), &QStatusBar::messageChanged, this,
            [&messages](const QString& text) {
                if (!text.isEmpty())
                    messages << text;
            });
    profiles.saveProfile(profileFor(QStringLiteral("HQ"), sim, true), "s3cret");
    const QString noKeyring =
        QStringLiteral("No keyring is available: the secret will be asked for at each connect.");
    QTRY_COMPARE(messages, QStringList{noKeyring});
    QVERIFY(profiles.keyringMissing());

    for (int round = 1; round <= 2; ++round) {
        profiles.connectProfile(QStringLiteral("HQ"));
        QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 1, 10000);
        QCOMPARE(asked.size(), round);
        profiles.disconnectProfile(QStringLiteral("HQ"));
    }
    QCOMPARE(asked.first(), QStringLiteral("HQ"));
    // Said once, not at each connect.
    QCOMPARE(messages.count(noKeyring), 1);

    // Cancelled: no connection, and the console goes on.
    profiles.askSecret = [](const QString&, std::string&) { return false; };
    profiles.connectProfile(QStringLiteral("HQ"));
    QVERIFY(profiles.connected().isEmpty());
}

void tst_profiles::unknownProfileIsSaidAndStartConnectsMarkedOnes()
{
    PbxSim sim({"--calls", "1", "--secret", "any"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    ConsoleWindow window;
    FakeSecrets secrets;
    ProfileConnections profiles(window, secrets);
    profiles.askSecret = [](const QString&, std::string&) { return true; };
    // Its secret comes from the keyring, later: start() has begun a connection all the same, so
    // no connect dialog is needed.
    PbxProfile marked = profileFor(QStringLiteral("Branch"), sim, true);
    marked.connectAtStart = true;
    profiles.saveProfile(marked, "any");
    profiles.saveProfile(profileFor(QStringLiteral("Other"), sim, false), {});
    QTRY_COMPARE(secrets.stored.size(), std::size_t{1});

    QVERIFY(profiles.start({QStringLiteral("Nowhere")}));
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("No PBX is saved under the name Nowhere."));
    QTRY_COMPARE(profiles.connected(), QStringList{QStringLiteral("Branch")});
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 1, 10000);

    // Nothing to connect: the caller opens the connect dialog.
    ConsoleWindow other;
    ProfileConnections none(other, secrets);
    PbxProfile::remove(QStringLiteral("Branch"));
    QVERIFY(!none.start({}));
}

void tst_profiles::twoPbxsInOneTree()
{
    // Both PBXs have a channel of the same name: only the PBX tells them apart.
    PbxSim hq({"--control", "--calls", "0"});
    PbxSim branch({"--control", "--calls", "0"});
    QVERIFY2(hq.port() != 0 && branch.port() != 0, qPrintable(hq.error() + branch.error()));
    QVERIFY(hq.command(QStringLiteral("start SIP/2041-00000001 2041 Alice")).startsWith("ok"));
    QVERIFY(branch.command(QStringLiteral("start SIP/2041-00000001 2041 Bob")).startsWith("ok"));
    QVERIFY(branch.command(QStringLiteral("start SIP/2042-00000002 2042 Carol")).startsWith("ok"));

    ConsoleWindow window;
    window.confirm = [](const QString&, bool&) { return true; };
    QStringList failures;
    window.showFailure = [&failures](const QString& text) { failures << text; };
    FakeSecrets secrets;
    ProfileConnections profiles(window, secrets);
    profiles.askSecret = [](const QString&, std::string&) { return true; };
    profiles.saveProfile(profileFor(QStringLiteral("HQ"), hq, false), {});
    profiles.saveProfile(profileFor(QStringLiteral("Branch"), branch, false), {});
    window.show();

    profiles.connectProfile(QStringLiteral("HQ"));
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 1, 10000);
    QVERIFY(!window.showsPbxColumn());
    profiles.connectProfile(QStringLiteral("Branch"));
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 3, 10000);
    QVERIFY(window.showsPbxColumn());
    QTRY_COMPARE(window.status().pbxStateText(),
                 QStringLiteral("HQ: connected · Branch: connected"));

    // The PBX column sorts and filters like the others.
    const auto pbxOfRow = [&window](int row) {
        return window.proxy()->index(row, CallTreeModel::Pbx).data().toString();
    };
    window.tree()->sortByColumn(CallTreeModel::Pbx, Qt::DescendingOrder);
    QCOMPARE(pbxOfRow(0), QStringLiteral("HQ"));
    QCOMPARE(pbxOfRow(2), QStringLiteral("Branch"));
    window.filter()->setText(QStringLiteral("bob"));
    QCOMPARE(window.proxy()->rowCount(), 1);
    QCOMPARE(pbxOfRow(0), QStringLiteral("Branch"));

    // The hangup goes to Bob's PBX, which has a channel of the same name as Alice's.
    window.tree()->selectionModel()->setCurrentIndex(window.proxy()->index(0, 0),
                                                     QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    window.hangUpSelection();
    QTRY_COMPARE_WITH_TIMEOUT(window.statusBar()->currentMessage(),
                              QStringLiteral("Hung up 1 channel."), 10000);
    QVERIFY(failures.isEmpty());
    QCOMPARE(branch.command(QStringLiteral("count")), QStringLiteral("ok 1"));
    QCOMPARE(hq.command(QStringLiteral("count")), QStringLiteral("ok 1"));
    window.filter()->clear();
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 2, 10000);

    // One PBX restarting leaves the other's calls where they are.
    QVERIFY(hq.command(QStringLiteral("restart 1")).startsWith("ok"));
    QTRY_VERIFY_WITH_TIMEOUT(
        window.status().pbxStateText().startsWith(QStringLiteral("HQ: reconnecting since ")),
        10000);
    const auto branchRows = [&] {
        int rows = 0;
        for (int row = 0; row < window.proxy()->rowCount(); ++row)
            rows += pbxOfRow(row) == QStringLiteral("Branch") ? 1 : 0;
        return rows;
    };
    QCOMPARE(branchRows(), 1);
    // Only the lost PBX's calls are greyed.
    for (int row = 0; row < window.proxy()->rowCount(); ++row)
        QCOMPARE(window.proxy()->index(row, 0).data(Qt::ForegroundRole).isValid(),
                 pbxOfRow(row) == QStringLiteral("HQ"));
    QVERIFY(window.status().pbxStateText().endsWith(QStringLiteral(" · Branch: connected")));
    QTRY_COMPARE_WITH_TIMEOUT(window.status().pbxStateText(),
                              QStringLiteral("HQ: connected · Branch: connected"), 15000);
    QCOMPARE(branchRows(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 2, 10000);
    QVERIFY(window.showsPbxColumn());
}

namespace {

// Waits for one answer of the store.
struct Answer
{
    std::optional<SecretStore::Outcome> outcome;
    std::string secret;
    SecretStore::Callback callback()
    {
        return [this](SecretStore::Outcome got, const std::string& text, const QString&) {
            outcome = got;
            secret = text;
        };
    }
};

} // namespace

void tst_profiles::realKeychainRemembersAndForgets()
{
    // Run by keyring-session.sh, which starts a Secret Service for this test alone.
    if (qEnvironmentVariableIsEmpty("CORVALE_REAL_KEYRING"))
        QSKIP("needs the keyring of keyring-session.sh");
    KeychainSecretStore store;
    const QString name = QStringLiteral("HQ Zürich");
    Answer written;
    store.write(name, "s3cret \xc3\xa4", written.callback());
    QTRY_VERIFY_WITH_TIMEOUT(written.outcome.has_value(), 20000);
    QCOMPARE(*written.outcome, SecretStore::Outcome::Done);
    Answer read;
    store.read(name, read.callback());
    QTRY_VERIFY_WITH_TIMEOUT(read.outcome.has_value(), 20000);
    QCOMPARE(*read.outcome, SecretStore::Outcome::Done);
    QCOMPARE(read.secret, std::string("s3cret \xc3\xa4"));
    Answer removed;
    store.remove(name, removed.callback());
    QTRY_VERIFY_WITH_TIMEOUT(removed.outcome.has_value(), 20000);
    QCOMPARE(*removed.outcome, SecretStore::Outcome::Done);
    Answer gone;
    store.read(name, gone.callback());
    QTRY_VERIFY_WITH_TIMEOUT(gone.outcome.has_value(), 20000);
    QCOMPARE(*gone.outcome, SecretStore::Outcome::NotFound);
}

void tst_profiles::realKeychainWithoutSessionBusReportsNoKeyring()
{
    // No session bus, no keyring: the real store must say so, not fail or hang.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DISPLAY");
    KeychainSecretStore store;
    std::optional<SecretStore::Outcome> written;
    store.write(QStringLiteral("corvale-test"), "secret",
                [&written](SecretStore::Outcome outcome, const std::string&, const QString&) {
                    written = outcome;
                });
    QTRY_VERIFY_WITH_TIMEOUT(written.has_value(), 30000);
    QCOMPARE(*written, SecretStore::Outcome::NoKeyring);
    std::optional<SecretStore::Outcome> read;
    store.read(QStringLiteral("corvale-test"),
               [&read](SecretStore::Outcome outcome, const std::string& secret, const QString&) {
                   QVERIFY(secret.empty());
                   read = outcome;
               });
    QTRY_VERIFY_WITH_TIMEOUT(read.has_value(), 30000);
    QCOMPARE(*read, SecretStore::Outcome::NoKeyring);
}

namespace {

// The processes whose parent this one is.
QList<pid_t> childProcesses()
{
    QList<pid_t> found;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task + QStringLiteral("/children")));
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray& pid : file.readAll().simplified().split(' '))
                if (!pid.isEmpty())
                    found << pid.toInt();
    }
    return found;
}

} // namespace

void tst_profiles::withoutSessionBusNothingIsStartedAndTheOperatorIsTold()
{
    // A desktop without a session bus, where D-Bus would autolaunch one: this dbus-launch, first
    // on the PATH, leaves a process behind as the real one leaves its bus and keyring daemons.
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    QFile launcher(scratch.filePath(QStringLiteral("dbus-launch")));
    QVERIFY(launcher.open(QIODevice::WriteOnly));
    launcher.write("#!/bin/sh\nsleep 600 </dev/null >/dev/null 2>&1 &\nexit 1\n");
    launcher.close();
    launcher.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", scratch.path().toLocal8Bit()); // no bus socket in it
    qputenv("DISPLAY", ":99");                                // D-Bus autolaunches only on X11
    qputenv("PATH", scratch.path().toLocal8Bit() + ':' + path);
    // Whatever is left behind becomes this process's child, to be counted.
    QCOMPARE(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);

    QWidget window;
    KeychainSecretStore store(&window);
    Answer first, second, read;
    store.write(QStringLiteral("corvale-test"), "secret", first.callback());
    QTRY_VERIFY_WITH_TIMEOUT(first.outcome.has_value(), 30000);
    store.write(QStringLiteral("corvale-test-2"), "secret", second.callback());
    store.read(QStringLiteral("corvale-test"), read.callback());
    QTRY_VERIFY_WITH_TIMEOUT(second.outcome.has_value() && read.outcome.has_value(), 30000);
    const QList<pid_t> left = childProcesses();
    for (const pid_t pid : left) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    qputenv("PATH", path);
    qunsetenv("DISPLAY");

    QVERIFY2(left.isEmpty(), "a process started for the keyring outlived it");
    for (const Answer* answer : {&first, &second, &read})
        QCOMPARE(*answer->outcome, SecretStore::Outcome::NoKeyring);
    // Told once, when the first secret was to be remembered.
    const QList<QMessageBox*> boxes = window.findChildren<QMessageBox*>();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0]->text(),
             QStringLiteral("No keyring is available on this computer, so the secret cannot be "
                            "remembered: you will be asked for it at each connect."));
}

QTEST_MAIN(tst_profiles)
#include "tst_profiles.moc"
