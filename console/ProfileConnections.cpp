#include "ProfileConnections.h"

#include "ConnectDialog.h"
#include "ConsoleConnection.h"
#include "ConsoleWindow.h"
#include "SecretStore.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>

namespace {

// Each PBX's session reads on its own clock, and every read that brings calls lays out and paints
// the one tree again: reading each less often than one PBX alone does (100 ms) keeps the tree's
// work per second near one PBX's, whatever their number.
constexpr std::chrono::milliseconds SeveralReadInterval{250};

} // namespace

ProfileConnections::ProfileConnections(ConsoleWindow& consoleWindow, SecretStore& secretStore,
                                       QObject* parent)
    : QObject(parent)
    , window(consoleWindow)
    , secrets(secretStore)
{
    connect(window.pbxMenu(), &QMenu::aboutToShow, this, &ProfileConnections::fillMenu);
    fillMenu();

    askSecret = [this](const QString& name, std::string& secret) {
        bool ok = false;
        const QString typed =
            QInputDialog::getText(&window, tr("Secret"), tr("The secret for the PBX %1:").arg(name),
                                  QLineEdit::Password, QString(), &ok);
        secret = typed.toStdString();
        return ok;
    };
    editDialog = [this](PbxProfile& profile, std::string& secret, const QStringList& taken) {
        ConnectDialog dialog(&window);
        dialog.setProfile(profile, taken);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        profile = dialog.profile();
        secret = dialog.secret();
        dialog.clearSecret();
        return true;
    };
}

ProfileConnections::~ProfileConnections()
{
    connections.clear();
}

void ProfileConnections::fillMenu()
{
    QMenu* menu = window.pbxMenu();
    menu->clear();
    QAction* add = menu->addAction(tr("&Add a PBX..."), this, &ProfileConnections::addProfile);
    add->setObjectName(QStringLiteral("actAddPbx"));
    const QStringList names = PbxProfile::names();
    if (!names.isEmpty())
        menu->addSeparator();
    for (const QString& name : names) {
        const bool on = connections.count(name) > 0;
        QMenu* sub = menu->addMenu(on ? tr("%1 (connected)").arg(name) : name);
        sub->addAction(tr("&Connect"), this, [this, name] { connectProfile(name); })
            ->setEnabled(!on);
        sub->addAction(tr("&Disconnect"), this, [this, name] { disconnectProfile(name); })
            ->setEnabled(on);
        sub->addSeparator();
        sub->addAction(tr("&Edit..."), this, [this, name] { editProfile(name); });
        sub->addAction(tr("&Remove"), this, [this, name] { removeProfile(name); });
    }
}

bool ProfileConnections::start(const QStringList& names)
{
    QStringList wanted = names;
    for (const QString& name : PbxProfile::names())
        if (!wanted.contains(name))
            if (const auto profile = PbxProfile::load(name); profile && profile->connectAtStart)
                wanted << name;
    QStringList unknown;
    bool begun = false;
    for (const QString& name : wanted) {
        if (PbxProfile::load(name)) {
            // A remembered secret arrives later from the keyring: the connection is begun all
            // the same.
            connectProfile(name);
            begun = true;
        } else {
            unknown << name;
        }
    }
    if (!unknown.isEmpty())
        window.showMessage(
            tr("No PBX is saved under the name %1.").arg(unknown.join(QStringLiteral(", "))));
    return begun;
}

void ProfileConnections::connectProfile(const QString& name)
{
    if (connections.count(name) > 0)
        return;
    const auto profile = PbxProfile::load(name);
    if (!profile) {
        window.showMessage(tr("No PBX is saved under the name %1.").arg(name));
        return;
    }
    if (!profile->rememberSecret || bNoKeyring) {
        askAndConnect(*profile);
        return;
    }
    // The keyring answers later; the console may have closed, or the profile gone, by then.
    QPointer<ProfileConnections> self(this);
    secrets.read(name, [self, profile = *profile](SecretStore::Outcome outcome,
                                                  const std::string& secret, const QString&) {
        if (!self)
            return;
        if (outcome == SecretStore::Outcome::Done) {
            self->connectWith(profile, secret);
            return;
        }
        if (outcome == SecretStore::Outcome::NoKeyring)
            self->noKeyring();
        self->askAndConnect(profile);
    });
}

void ProfileConnections::askAndConnect(const PbxProfile& profile)
{
    std::string secret;
    if (askSecret && askSecret(profile.name, secret))
        connectWith(profile, secret);
}

void ProfileConnections::connectWith(const PbxProfile& profile, const std::string& secret)
{
    if (connections.count(profile.name) > 0)
        return;
    auto [at, added] = keys.emplace(profile.name, nNextKey);
    if (added)
        ++nNextKey;
    auto connection = std::make_unique<ConsoleConnection>(window, at->second, profile.name);
    connection->setReconnect(profile.reconnect);
    connection->setReadInterval(SeveralReadInterval);
    ConsoleConnection& made = *connection;
    connections[profile.name] = std::move(connection);
    made.connectTo(profile.fields, secret);
}

void ProfileConnections::disconnectProfile(const QString& name)
{
    const auto it = connections.find(name);
    if (it == connections.end())
        return;
    // The connection lets its session unwind first, should it be further up the stack.
    it->second->close();
    connections.erase(it);
}

void ProfileConnections::noKeyring()
{
    if (bNoKeyring)
        return;
    bNoKeyring = true;
    window.showMessage(
        tr("No keyring is available: the secret will be asked for at each connect."));
}

void ProfileConnections::saveProfile(const PbxProfile& profile, const std::string& secret,
                                     const QString& oldName)
{
    const bool renamed = !oldName.isEmpty() && oldName != profile.name;
    if (renamed) {
        disconnectProfile(oldName);
        PbxProfile::remove(oldName);
    }
    profile.save();
    QPointer<ProfileConnections> self(this);
    const auto answered = [self](SecretStore::Outcome outcome, const std::string&, const QString&) {
        if (self && outcome == SecretStore::Outcome::NoKeyring)
            self->noKeyring();
    };
    if (!profile.rememberSecret) {
        secrets.remove(profile.name, nullptr);
        if (renamed)
            secrets.remove(oldName, nullptr);
    } else if (!secret.empty()) {
        secrets.write(profile.name, secret, answered);
        if (renamed)
            secrets.remove(oldName, nullptr);
    } else if (renamed) {
        // Renamed without the secret typed again: the remembered one moves with the name.
        SecretStore* store = &secrets;
        const QString name = profile.name;
        secrets.read(oldName,
                     [store, name, oldName, answered](SecretStore::Outcome outcome,
                                                      const std::string& kept, const QString&) {
                         if (outcome != SecretStore::Outcome::Done)
                             return;
                         store->write(name, kept, answered);
                         store->remove(oldName, nullptr);
                     });
    }
}

void ProfileConnections::removeProfile(const QString& name)
{
    disconnectProfile(name);
    PbxProfile::remove(name);
    secrets.remove(name, nullptr);
}

void ProfileConnections::addProfile()
{
    PbxProfile profile;
    profile.name = tr("New PBX");
    std::string secret;
    if (!editDialog || !editDialog(profile, secret, PbxProfile::names()))
        return;
    saveProfile(profile, secret);
}

void ProfileConnections::editProfile(const QString& name)
{
    auto profile = PbxProfile::load(name);
    if (!profile)
        return;
    QStringList taken = PbxProfile::names();
    taken.removeAll(name);
    std::string secret;
    if (!editDialog || !editDialog(*profile, secret, taken))
        return;
    saveProfile(*profile, secret, name);
}

QStringList ProfileConnections::connected() const
{
    QStringList names;
    for (const auto& [name, connection] : connections)
        names << name;
    return names;
}

ConsoleConnection* ProfileConnections::connection(const QString& name) const
{
    const auto it = connections.find(name);
    return it != connections.end() ? it->second.get() : nullptr;
}
