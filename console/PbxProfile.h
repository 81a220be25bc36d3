#pragma once

#include "ConnectionFields.h"

#include <QString>
#include <QStringList>

#include <optional>

// A PBX the operator saved by name: where and how to connect, never the secret (which, when
// remembered, is in the keyring under the profile's name).
struct PbxProfile
{
    QString name;
    ConnectionFields fields;
    bool reconnect = true;
    bool rememberSecret = false;
    bool connectAtStart = false;

    // Each profile is the settings group "profiles/NAME", in the console's settings file.
    static QStringList names();
    static std::optional<PbxProfile> load(const QString& name);
    // Saves everything but the secret; reads the CA file's certificates again on load.
    void save() const;
    static void remove(const QString& name);
    // Why this cannot be a profile's name, or nothing.
    static QString checkName(const QString& name);
};
