#include "StartUp.h"

#include "SecretStore.h"

#include <QCoreApplication>
#include <QGuiApplication>

void nameApplication()
{
    // The desktop id org.example.corvale, split as QSettings wants it.
    QCoreApplication::setOrganizationName(QStringLiteral("org.example"));
    QCoreApplication::setApplicationName(QStringLiteral("corvale"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVALE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.corvale"));
}

void forbidBusAutolaunch()
{
    // An address of a transport nobody knows: libdbus and GLib refuse it at once, start
    // nothing, and the keyring store takes it for no bus at all.
    if (!KeychainSecretStore::sessionBusRuns())
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}
