#include "PbxProfile.h"

#include "ConnectDialog.h"

#include <QCoreApplication>
#include <QSettings>

#include <algorithm>

namespace {

const QString Group = QStringLiteral("profiles");

QString groupOf(const QString& name)
{
    return Group + QLatin1Char('/') + name;
}

} // namespace

QStringList PbxProfile::names()
{
    QSettings settings;
    settings.beginGroup(Group);
    QStringList all = settings.childGroups();
    std::sort(all.begin(), all.end(), [](const QString& a, const QString& b) {
        return QString::localeAwareCompare(a, b) < 0;
    });
    return all;
}

std::optional<PbxProfile> PbxProfile::load(const QString& name)
{
    QSettings settings;
    if (!settings.childGroups().contains(Group))
        return std::nullopt;
    settings.beginGroup(Group);
    if (!settings.childGroups().contains(name))
        return std::nullopt;
    settings.beginGroup(name);
    PbxProfile profile;
    profile.name = name;
    ConnectionFields& fields = profile.fields;
    fields.host = settings.value(QStringLiteral("host"), fields.host).toString();
    fields.port = settings.value(QStringLiteral("port"), fields.port).toString();
    fields.user = settings.value(QStringLiteral("user"), fields.user).toString();
    fields.tls = settings.value(QStringLiteral("tls"), false).toBool();
    fields.caFile = settings.value(QStringLiteral("caFile")).toString();
    fields.challengeLogin = settings.value(QStringLiteral("challengeLogin"), false).toBool();
    if (fields.tls && !fields.caFile.isEmpty())
        ConnectDialog::checkCaFile(fields.caFile, fields.trusted);
    profile.reconnect = settings.value(QStringLiteral("reconnect"), true).toBool();
    profile.rememberSecret = settings.value(QStringLiteral("rememberSecret"), false).toBool();
    profile.connectAtStart = settings.value(QStringLiteral("connectAtStart"), false).toBool();
    return profile;
}

void PbxProfile::save() const
{
    QSettings settings;
    settings.remove(groupOf(name));
    settings.beginGroup(groupOf(name));
    settings.setValue(QStringLiteral("host"), fields.host);
    settings.setValue(QStringLiteral("port"), fields.port);
    settings.setValue(QStringLiteral("user"), fields.user);
    settings.setValue(QStringLiteral("tls"), fields.tls);
    settings.setValue(QStringLiteral("caFile"), fields.caFile);
    settings.setValue(QStringLiteral("challengeLogin"), fields.challengeLogin);
    settings.setValue(QStringLiteral("reconnect"), reconnect);
    settings.setValue(QStringLiteral("rememberSecret"), rememberSecret);
    settings.setValue(QStringLiteral("connectAtStart"), connectAtStart);
}

void PbxProfile::remove(const QString& name)
{
    QSettings settings;
    settings.remove(groupOf(name));
}

QString PbxProfile::checkName(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QCoreApplication::translate("PbxProfile", "The PBX needs a name.");
    if (name != name.trimmed())
        return QCoreApplication::translate("PbxProfile",
                                           "The name cannot begin or end with a space.");
    // A slash would open a group of its own in the settings file.
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QCoreApplication::translate("PbxProfile", "The name cannot hold / or \\.");
    if (std::any_of(name.cbegin(), name.cend(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return QCoreApplication::translate("PbxProfile", "The name holds a control character.");
    return {};
}
