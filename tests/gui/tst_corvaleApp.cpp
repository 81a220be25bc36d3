// The real program as an operator runs it: on an X server of its own (Xvfb), with keys typed
// through xdotool, against the simulator. Checks the exit status the process ends with.
#include "PbxSim.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int StepMs = 15000;

class Display
{
public:
    Display()
    {
        // -displayfd 1: the server picks a free display and prints its number when ready.
        server.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s, u"-screen"_s,
                                 u"0"_s, u"800x600x24"_s, u"-dpi"_s, u"96"_s});
        if (!server.waitForStarted(StepMs))
            return;
        while (!server.canReadLine() && server.waitForReadyRead(StepMs)) {
        }
        const QByteArray number = server.readLine().trimmed();
        if (!number.isEmpty())
            name = u":"_s + QString::fromLatin1(number);
    }
    ~Display()
    {
        server.terminate();
        if (!server.waitForFinished(5000))
            server.kill();
        server.waitForFinished(5000);
    }
    QString name;

private:
    QProcess server;
};

// Runs xdotool on the display; returns its output, or a null array when it failed.
QByteArray xdotool(const QString& display, const QStringList& arguments)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, display);
    tool.setProcessEnvironment(env);
    tool.start(u"xdotool"_s, arguments);
    if (!tool.waitForFinished(StepMs)) {
        tool.kill();
        tool.waitForFinished();
        return QByteArray();
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return QByteArray();
    QByteArray out = tool.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

QByteArray firstWindow(const QString& display, const QString& titlePattern)
{
    const QByteArray found =
        xdotool(display, {u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--name"_s, titlePattern});
    return found.isNull() ? found : found.split('\n').front();
}

quint16 unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class CorvaleAppTest : public QObject
{
    Q_OBJECT

private slots:
    void answersOnTheTerminalWithoutADisplay();
    void refusesATlsCaFileWithoutACertificateBeforeAnyWindow();
    void endsWithStatusOneAfterItsMessage_data();
    void endsWithStatusOneAfterItsMessage();
};

void CorvaleAppTest::answersOnTheTerminalWithoutADisplay()
{
    // No display at all: anything that tried to open a window would fail differently.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"DISPLAY"_s);
    env.remove(u"WAYLAND_DISPLAY"_s);
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    auto run = [&env](const QStringList& arguments) {
        auto corvale = std::make_unique<QProcess>();
        corvale->setProcessEnvironment(env);
        corvale->start(QStringLiteral(CORVALE_PATH), arguments);
        corvale->waitForFinished(StepMs);
        return corvale;
    };

    auto version = run({u"--version"_s});
    QCOMPARE(version->exitCode(), 0);
    QCOMPARE(version->readAllStandardOutput(), QByteArray("corvale " CORVALE_VERSION "\n"));

    auto help = run({u"--help"_s});
    QCOMPARE(help->exitCode(), 0);
    QVERIFY(help->readAllStandardOutput().contains("--port <PORT>"));

    auto refused = run({u"--port"_s, u"70000"_s});
    QCOMPARE(refused->exitStatus(), QProcess::NormalExit);
    QCOMPARE(refused->exitCode(), 2);
    QVERIFY(refused->readAllStandardOutput().isEmpty());
    const QByteArray why = refused->readAllStandardError();
    QVERIFY2(why.startsWith("corvale: --port") && why.count('\n') == 1, why.constData());
}

void CorvaleAppTest::refusesATlsCaFileWithoutACertificateBeforeAnyWindow()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    QFile notPem(scratch.filePath(u"notes.txt"_s));
    QVERIFY(notPem.open(QIODevice::WriteOnly));
    notPem.write("-----BEGIN CERTIFICATE-----\nnot base64 at all\n-----END CERTIFICATE-----\n");
    notPem.close();

    // No display: a window that opened would fail differently.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"DISPLAY"_s);
    env.remove(u"WAYLAND_DISPLAY"_s);
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    for (const QString& file : {scratch.filePath(u"missing.pem"_s), notPem.fileName()}) {
        QProcess corvale;
        corvale.setProcessEnvironment(env);
        corvale.start(QStringLiteral(CORVALE_PATH), {u"--tls"_s, u"--tls-ca"_s, file});
        QVERIFY(corvale.waitForFinished(StepMs));
        QCOMPARE(corvale.exitStatus(), QProcess::NormalExit);
        QCOMPARE(corvale.exitCode(), 2);
        QVERIFY(corvale.readAllStandardOutput().isEmpty());
        const QByteArray why = corvale.readAllStandardError();
        QVERIFY2(why.startsWith("corvale: --tls-ca: ") && why.count('\n') == 1, why.constData());
    }
}

void CorvaleAppTest::endsWithStatusOneAfterItsMessage_data()
{
    QTest::addColumn<bool>("refusingSimulator");
    QTest::newRow("login refused") << true;
    QTest::newRow("nobody listening") << false;
}

void CorvaleAppTest::endsWithStatusOneAfterItsMessage()
{
    QFETCH(bool, refusingSimulator);
    if (QStandardPaths::findExecutable(u"Xvfb"_s).isEmpty() ||
        QStandardPaths::findExecutable(u"xdotool"_s).isEmpty())
        QSKIP("needs Xvfb and xdotool (./scripts/setup installs them)");

    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString transcript = scratch.filePath(u"transcript.txt"_s);
    std::unique_ptr<PbxSim> sim;
    quint16 port = unusedPort();
    if (refusingSimulator) {
        sim = std::make_unique<PbxSim>(
            QStringList{u"--refuse-login"_s, u"--transcript"_s, transcript});
        QVERIFY2(sim->port() != 0, qPrintable(sim->error()));
        port = sim->port();
    }
    Display display;
    QVERIFY2(!display.name.isEmpty(), "Xvfb did not start");

    QProcess corvale;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, display.name);
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    corvale.setProcessEnvironment(env);
    corvale.setProcessChannelMode(QProcess::ForwardedChannels);
    corvale.start(QStringLiteral(CORVALE_PATH), {});
    QVERIFY(corvale.waitForStarted(StepMs));

    // As an operator: the focus starts in the host field; Tab to the port, replace it, Enter.
    const QByteArray window = firstWindow(display.name, u"^Corvale - "_s);
    QVERIFY2(!window.isEmpty(), "the window did not appear");
    QVERIFY(!xdotool(display.name, {u"windowfocus"_s, u"--sync"_s, QString::fromLatin1(window)})
                 .isNull());
    QVERIFY(!xdotool(display.name, {u"key"_s, u"Tab"_s, u"ctrl+a"_s}).isNull());
    QVERIFY(!xdotool(display.name, {u"type"_s, QString::number(port)}).isNull());
    QVERIFY(!xdotool(display.name, {u"key"_s, u"Return"_s}).isNull());

    // The message box (caption "Corvale" alone); OK dismisses it and the program ends.
    const QByteArray box = firstWindow(display.name, u"^Corvale$"_s);
    QVERIFY2(!box.isEmpty(), "no message box appeared");
    QVERIFY(
        !xdotool(display.name, {u"windowfocus"_s, u"--sync"_s, QString::fromLatin1(box)}).isNull());
    QVERIFY(!xdotool(display.name, {u"key"_s, u"Return"_s}).isNull());

    QVERIFY(corvale.waitForFinished(StepMs));
    QCOMPARE(corvale.exitStatus(), QProcess::NormalExit);
    QCOMPARE(corvale.exitCode(), 1);

    if (refusingSimulator) {
        // It was the simulator's refusal that ended the program, not some other failure.
        sim->stop();
        QFile log(transcript);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray conversation = log.readAll();
        QVERIFY(conversation.contains("Username: admin"));
        QVERIFY(conversation.contains("Authentication failed"));
    }
}

QTEST_GUILESS_MAIN(CorvaleAppTest)
#include "tst_corvaleApp.moc"
