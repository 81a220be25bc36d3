#include "RunConsole.h"

#include "ConsoleConnection.h"
#include "ConsoleWindow.h"
#include "ProfileConnections.h"
#include "SecretStore.h"

#include <QApplication>
#include <QTimer>

namespace {

// Where the connect dialog starts: what was used last, then what the command line says.
ConnectionFields startFields(const ConsoleOptions& options)
{
    ConnectionFields fields = ConsoleConnection::remembered();
    if (options.tls) {
        fields.tls = true;
        if (fields.port == QStringLiteral("5038"))
            fields.port = QStringLiteral("5039");
    }
    if (!options.trusted.isEmpty()) {
        fields.caFile.clear();
        fields.trusted = options.trusted;
    }
    if (options.host)
        fields.host = *options.host;
    if (options.port)
        fields.port = *options.port;
    if (options.user)
        fields.user = *options.user;
    if (options.challengeLogin)
        fields.challengeLogin = true;
    return fields;
}

} // namespace

int runConsole(const ConsoleOptions& options)
{
    ConsoleWindow window;
    window.restoreSettings();
    if (options.longCallMinutes)
        window.setLongCallMinutes(*options.longCallMinutes);
    ConsoleConnection connection(window, ConsoleConnection::DialogKey);
    connection.setFields(startFields(options));
    QObject::connect(&window, &ConsoleWindow::connectRequested, &connection,
                     &ConsoleConnection::askAndConnect);
    KeychainSecretStore secrets(&window);
    ProfileConnections profiles(window, secrets);
    window.show();

    // Connect to the saved PBXs asked for; without any, ask where to connect once the window is
    // on screen, so the dialog has a parent to sit on.
    QTimer::singleShot(0, &window, [&connection, &profiles, &options] {
        if (!profiles.start(options.profiles) && options.profiles.isEmpty())
            connection.askAndConnect();
    });
    return QApplication::exec();
}
