#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks of a run. Every option only pre-fills or switches on something the
// operator could not otherwise choose before the window opens; without options the window
// starts exactly as it always has.
struct StartOptions
{
    std::optional<QString> host;
    std::optional<QString> port; // decimal digits, 1 to 65535
    std::optional<QString> user;
    bool live = false; // the list follows the PBX's call events
    bool tls = false;
    // From --tls-ca: the only authorities the PBX's certificate may come from. Empty: the
    // system's.
    QList<QSslCertificate> trusted;
    bool challengeLogin = false; // --auth md5
    // After a successful login, a lost connection is retried instead of ending the run.
    bool reconnect = false;
    bool console = false; // the operator console instead of the call list window
    // With --console: the minutes after which a call counts as long (1 to 1440).
    std::optional<int> longCallMinutes;
    // With --console: the saved PBX profiles to connect to at start, in the order given.
    QStringList profiles;
    // --lang: the language of the texts and the conventions of numbers, instead of the
    // system's ("de", "de_DE").
    std::optional<QString> lang;
};

// The outcome of reading the command line: either the window runs with these options, or the
// process ends at once with a status and a text for standard output or standard error.
struct CommandLine
{
    bool run = false;
    StartOptions options;
    int status = 0;
    QString out; // --help, --version
    QString err; // one line saying what was wrong
};

// arguments[0] is the program's name, as in argv. Needs no QCoreApplication, so that a bad
// option is refused before anything needs a display.
CommandLine parseCommandLine(const QStringList& arguments);

// The status for a command line that cannot be run.
constexpr int UsageErrorStatus = 2;
