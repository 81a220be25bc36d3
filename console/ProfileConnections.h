#pragma once

#include "PbxProfile.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <string>

class ConsoleConnection;
class ConsoleWindow;
class SecretStore;

// The saved PBXs: the window's PBXs menu to add, edit, remove, connect and disconnect them, one
// connection (and Session) per connected PBX, their calls side by side in the window. Secrets
// remembered go to the secret store, never to the settings; without a keyring the secret is
// asked for at each connect.
class ProfileConnections : public QObject
{
    Q_OBJECT

public:
    ProfileConnections(ConsoleWindow& window, SecretStore& secrets, QObject* parent = nullptr);
    ~ProfileConnections() override;

    // Connects to these saved PBXs and to every one marked "connect at start"; an unknown name is
    // said in the status bar. Returns whether any connection was begun (one whose secret is in
    // the keyring connects once the keyring answers).
    bool start(const QStringList& names);

    void connectProfile(const QString& name);
    void disconnectProfile(const QString& name);
    // Saves a profile (new or edited, `oldName` empty for new); a secret given is remembered when
    // the profile says so, and a remembered one is removed when it no longer does.
    void saveProfile(const PbxProfile& profile, const std::string& secret,
                     const QString& oldName = QString());
    // Removes the profile, its remembered secret and its connection.
    void removeProfile(const QString& name);
    void addProfile();
    void editProfile(const QString& name);

    QStringList connected() const;
    ConsoleConnection* connection(const QString& name) const;
    bool keyringMissing() const { return bNoKeyring; }

    // Questions for the operator; tests replace them. askSecret: the secret for one connect.
    // editDialog: a profile's fields and secret; false when cancelled.
    std::function<bool(const QString& name, std::string& secret)> askSecret;
    std::function<bool(PbxProfile& profile, std::string& secret, const QStringList& taken)>
        editDialog;

private:
    void fillMenu();
    void connectWith(const PbxProfile& profile, const std::string& secret);
    void askAndConnect(const PbxProfile& profile);
    void noKeyring();

    ConsoleWindow& window;
    SecretStore& secrets;
    std::map<QString, std::unique_ptr<ConsoleConnection>> connections;
    std::map<QString, int> keys; // a name keeps its key while the console runs
    int nNextKey = 1;
    bool bNoKeyring = false;
};
