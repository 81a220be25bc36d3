#include "CommandLine.h"
#include "RunConsole.h"
#include "StartUp.h"
#include "Translations.h"
#include "frmMain.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // The command line is read before QApplication exists, so --help, --version and a refused
    // option answer on a terminal without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = parseCommandLine(arguments);
    if (!command.run) {
        std::fputs(command.out.toLocal8Bit().constData(), stdout);
        std::fputs(command.err.toLocal8Bit().constData(), stderr);
        return command.status;
    }

    // Before QApplication, which takes the C library's locale from the environment, and whose
    // platform may look for the session bus as it starts.
    const QLocale language = command.options.lang ? useLanguage(*command.options.lang) : QLocale();
    nameApplication();
    forbidBusAutolaunch();
    QApplication app(argc, argv);
    installTranslations(language, translationFolders());
    const StartOptions& options = command.options;
    if (options.console) {
        ConsoleOptions console;
        console.host = options.host;
        console.port = options.port;
        console.user = options.user;
        console.tls = options.tls;
        console.trusted = options.trusted;
        console.challengeLogin = options.challengeLogin;
        console.longCallMinutes = options.longCallMinutes;
        console.profiles = options.profiles;
        return runConsole(console);
    }

    frmMain window;
    window.prefillLogin(options.host, options.port, options.user);
    window.setLive(options.live);
    window.setReconnect(options.reconnect);
    if (options.tls)
        window.useTls(options.trusted);
    if (options.challengeLogin)
        window.useChallengeLogin();
    window.show();
    return app.exec();
}
