// The manager secret stays secret: the masked field shows only "*", nothing the window exposes
// (texts, accessibility, input method, clipboard, messages, log output) holds it in clear, and
// on the wire it appears exactly once, inside the login action; with the challenge login, never.
#include "PbxSim.h"
#include "TestCertificates.h"
#include "WindowHarness.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAccessible>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QInputMethodQueryEvent>
#include <QLabel>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// ASCII, so that every byte of it is one character of it.
const QString Secret = u"Tr0ub4dor-s3cret"_s;

QStringList logged;
QtMessageHandler previousHandler = nullptr;

void recordLog(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    logged << text;
    if (previousHandler != nullptr)
        previousHandler(type, context, text);
}

// Every place a piece of the secret would show: the whole of it, or any 6 characters in a row.
bool holdsSecret(const QString& text)
{
    for (qsizetype i = 0; i + 6 <= Secret.size(); ++i) {
        if (text.contains(Secret.mid(i, 6)))
            return true;
    }
    return false;
}

// Every text the accessibility tree offers, from `root` down.
void accessibleTexts(QAccessibleInterface* node, QStringList& out, int depth = 0)
{
    if (node == nullptr || depth > 20)
        return;
    for (const QAccessible::Text kind :
         {QAccessible::Name, QAccessible::Value, QAccessible::Description, QAccessible::Help,
          QAccessible::Accelerator})
        out << node->text(kind);
    if (QAccessibleTextInterface* text = node->textInterface()) {
        const int count = text->characterCount();
        out << text->text(0, count);
        int start = 0;
        int end = 0;
        out << text->textAtOffset(0, QAccessible::LineBoundary, &start, &end);
        out << text->textAtOffset(0, QAccessible::WordBoundary, &start, &end);
        for (int i = 0; i < text->selectionCount(); ++i) {
            text->selection(i, &start, &end);
            out << text->text(start, end);
        }
    }
    if (QAccessibleValueInterface* value = node->valueInterface())
        out << value->currentValue().toString();
    for (int i = 0; i < node->childCount(); ++i)
        accessibleTexts(node->child(i), out, depth + 1);
}

// Everything the window shows or tells about itself, except txtPassword's own text.
QStringList exposedTexts(WindowHarness& h)
{
    QStringList out;
    out << h.window.windowTitle();
    QList<QWidget*> widgets = h.window.findChildren<QWidget*>();
    widgets << &h.window;
    for (QWidget* w : widgets) {
        out << w->accessibleName() << w->accessibleDescription() << w->toolTip() << w->statusTip()
            << w->whatsThis() << w->windowTitle();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            out << edit->displayText() << edit->placeholderText();
            // Program interfaces, not shown: the masked field's are the secret itself.
            if (edit->objectName() != u"txtPassword"_s)
                out << edit->text() << edit->selectedText();
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            out << label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            out << button->text();
        }
    }
    const QAbstractItemModel* model = h.list()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int role = 0; role <= Qt::UserRole; ++role)
            out << model->index(row, 0).data(role).toString();
    }
    accessibleTexts(QAccessible::queryAccessibleInterface(&h.window), out);
    return out;
}

// What an input method may ask the masked field.
QStringList inputMethodTexts(QLineEdit* field)
{
    QInputMethodQueryEvent query(Qt::ImSurroundingText | Qt::ImCurrentSelection |
                                 Qt::ImTextBeforeCursor | Qt::ImTextAfterCursor |
                                 Qt::ImAbsolutePosition);
    QCoreApplication::sendEvent(field, &query);
    return {query.value(Qt::ImSurroundingText).toString(),
            query.value(Qt::ImCurrentSelection).toString(),
            query.value(Qt::ImTextBeforeCursor).toString(),
            query.value(Qt::ImTextAfterCursor).toString()};
}

QString firstHolding(const QStringList& texts)
{
    for (const QString& text : texts) {
        if (holdsSecret(text))
            return text;
    }
    return {};
}

} // namespace

class SecretTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(recordLog); }
    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }
    void maskedFieldExposesOnlyStars();
    void aWholeSessionNeverShowsTheSecret();
    void aRefusedLoginNeverShowsTheSecret();
    void theChallengeLoginNeverSendsTheSecret_data();
    void theChallengeLoginNeverSendsTheSecret();
    void aFailedTlsSetUpNeverShowsTheSecret();
    void credentialsGoOutAsThePbxStoresThem_data();
    void credentialsGoOutAsThePbxStoresThem();
};

void SecretTest::maskedFieldExposesOnlyStars()
{
    WindowHarness h;
    h.window.show();
    QLineEdit* password = h.field("txtPassword");
    // Typed, as an operator does; a Latin-1 letter too.
    QTest::keyClicks(password, Secret);
    password->insert(u"ä"_s);
    QCOMPARE(password->text(), Secret + u"ä"_s);
    QCOMPARE(password->displayText(), QString(Secret.size() + 1, u'*'));

    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(password);
    QVERIFY(field != nullptr);
    QCOMPARE(field->text(QAccessible::Value), QString(Secret.size() + 1, u'*'));
    QCOMPARE(field->text(QAccessible::Name), u"Password"_s);
    QVERIFY(field->state().passwordEdit);

    // Selecting it all and copying puts nothing on the clipboard, where another field's copy
    // does land.
    QClipboard* clipboard = QGuiApplication::clipboard();
    h.field("txtHost")->selectAll();
    h.field("txtHost")->copy();
    QCOMPARE(clipboard->text(), u"localhost"_s);
    password->selectAll();
    password->copy();
    QTest::keyClick(password, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), u"localhost"_s);

    QVERIFY2(firstHolding(inputMethodTexts(password)).isEmpty(),
             qPrintable(firstHolding(inputMethodTexts(password))));
    const QStringList exposed = exposedTexts(h);
    QVERIFY2(firstHolding(exposed).isEmpty(), qPrintable(firstHolding(exposed)));
    // The walk did reach the field: its mask is among what it gathered.
    QVERIFY(exposed.count(QString(Secret.size() + 1, u'*')) >= 2);
}

void SecretTest::aWholeSessionNeverShowsTheSecret()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString transcriptPath = dir.filePath(u"wire.txt"_s);
    PbxSim sim({"--secret", Secret, "--calls", "3", "--transcript", transcriptPath});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    logged.clear();

    WindowHarness h;
    h.window.show();
    h.connectTo(sim.port(), Secret);
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 3, 10000);
    // A Disconnect Call and a Refresh List, so that messages are shown too.
    h.selectRow(0);
    h.button("cmdKillCall")->click();
    QCOMPARE(h.messages.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 2, 10000);
    h.button("cmdReFetch")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 2, 10000);

    // The field still holds the secret, hidden now; nothing lets it out.
    QCOMPARE(h.field("txtPassword")->text(), Secret);
    const QStringList exposed = exposedTexts(h) + h.messages + logged;
    QVERIFY2(firstHolding(exposed).isEmpty(), qPrintable(firstHolding(exposed)));
    QVERIFY2(firstHolding(inputMethodTexts(h.field("txtPassword"))).isEmpty(),
             "the input method query holds the secret");

    // On the wire: once, as the login's Secret header, sent by the window.
    QFile wire(transcriptPath);
    QVERIFY(wire.open(QIODevice::ReadOnly));
    const QByteArray transcript = wire.readAll();
    QCOMPARE(transcript.count(Secret.toLatin1()), 1);
    QVERIFY(transcript.contains("C> Secret: " + Secret.toLatin1() + "\\r\\n\n"));
    const qsizetype secretAt = transcript.indexOf(Secret.toLatin1());
    const qsizetype loginAt = transcript.lastIndexOf("C> Action: login\\r\\n", secretAt);
    QVERIFY(loginAt >= 0);
    QVERIFY(!transcript.mid(loginAt, secretAt - loginAt).contains("\\r\\n\nC> \\r\\n"));
}

void SecretTest::aRefusedLoginNeverShowsTheSecret()
{
    PbxSim sim({"--secret", u"another"_s, "--close-on-refuse"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    logged.clear();
    WindowHarness h;
    h.window.show();
    h.connectTo(sim.port(), Secret);
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, 10000);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages.size(), 1);
    const QStringList exposed = exposedTexts(h) + h.messages + logged;
    QVERIFY2(firstHolding(exposed).isEmpty(), qPrintable(firstHolding(exposed)));
}

namespace {

// Every byte the client sent, as the simulator's transcript shows them ("C>" lines, control
// bytes written as escapes, which no piece of the secret holds).
QByteArray clientBytes(const QString& transcriptPath)
{
    QFile file(transcriptPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("C> ") && !line.endsWith(" bytes:"))
            out += line.mid(3) + '\n';
    }
    return out;
}

// The first run of 4 or more of the secret's bytes found in `bytes`.
QByteArray firstPieceOfSecret(const QByteArray& bytes)
{
    const QByteArray secret = Secret.toLatin1();
    for (qsizetype i = 0; i + 4 <= secret.size(); ++i) {
        if (bytes.contains(secret.mid(i, 4)))
            return secret.mid(i, 4);
    }
    return {};
}

} // namespace

void SecretTest::theChallengeLoginNeverSendsTheSecret_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QString>("message"); // empty: the calls are listed
    const QStringList right{"--secret", Secret};
    QTest::newRow("accepted") << right << false << QString();
    QTest::newRow("accepted over TLS") << right << true << QString();
    QTest::newRow("wrong secret") << QStringList{"--secret", u"another"_s, "--close-on-refuse"}
                                  << false << u"Your manager details are incorrect"_s;
    QTest::newRow("challenge refused") << right + QStringList{"--challenge-error"} << false
                                       << u"Challenge is not permitted here"_s;
}

void SecretTest::theChallengeLoginNeverSendsTheSecret()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, tls);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString transcriptPath = dir.filePath(u"wire.txt"_s);
    TestCertificates certs;
    QVERIFY2(certs.isValid(), qPrintable(certs.error()));
    if (tls)
        arguments += certs.serverArguments(TestCertificates::Good);
    PbxSim sim(arguments + QStringList{"--calls", "3", "--transcript", transcriptPath});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    logged.clear();

    WindowHarness h;
    if (tls)
        h.window.useTls(QSslCertificate::fromPath(certs.caFile()));
    h.window.useChallengeLogin();
    h.window.show();
    h.connectTo(sim.port(), Secret);
    if (message.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 3, 10000);
        h.selectRow(0);
        h.button("cmdKillCall")->click();
        QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 2, 10000);
        QVERIFY(h.exits.isEmpty());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, 10000);
        QCOMPARE(h.messages, QStringList{message});
    }
    sim.stop();

    // The transcript holds what the client sent in clear, also over TLS.
    const QByteArray sent = clientBytes(transcriptPath);
    // The conversation did happen: the challenge, and (unless refused) the key's login.
    QVERIFY(sent.startsWith("Action: Challenge\\r\\n"));
    QCOMPARE(sent.contains("\nKey: "), message != u"Challenge is not permitted here"_s);
    QVERIFY2(firstPieceOfSecret(sent).isEmpty(), firstPieceOfSecret(sent).constData());
    const QStringList exposed = exposedTexts(h) + h.messages + logged;
    QVERIFY2(firstHolding(exposed).isEmpty(), qPrintable(firstHolding(exposed)));
}

void SecretTest::aFailedTlsSetUpNeverShowsTheSecret()
{
    TestCertificates certs;
    QVERIFY2(certs.isValid(), qPrintable(certs.error()));
    PbxSim sim(certs.serverArguments(TestCertificates::Untrusted));
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    logged.clear();

    WindowHarness h;
    h.window.useTls(QSslCertificate::fromPath(certs.caFile()));
    h.window.show();
    h.connectTo(sim.port(), Secret);
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, 10000);
    QCOMPARE(h.messages.size(), 1);
    const QStringList exposed = exposedTexts(h) + h.messages + logged;
    QVERIFY2(firstHolding(exposed).isEmpty(), qPrintable(firstHolding(exposed)));
}

void SecretTest::credentialsGoOutAsThePbxStoresThem_data()
{
    QTest::addColumn<bool>("challenge");
    QTest::newRow("plain login") << false;
    QTest::newRow("challenge login") << true;
}

void SecretTest::credentialsGoOutAsThePbxStoresThem()
{
    // The PBX, like the simulator, reads its manager users and secrets as UTF-8; a letter sent as
    // one Latin-1 byte could never match, and one beyond Latin-1 could not be sent at all.
    QFETCH(bool, challenge);
    const QString user = u"jörg"_s;
    const QString secret = u"pässwörd€"_s;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString transcriptPath = dir.filePath(u"wire.txt"_s);
    PbxSim sim({"--user", user, "--secret", secret, "--calls", "3", "--close-on-refuse",
                "--transcript", transcriptPath});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));

    WindowHarness h;
    if (challenge)
        h.window.useChallengeLogin();
    h.window.show();
    h.field("txtUsername")->setText(user);
    h.connectTo(sim.port(), secret);
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 3, 10000);
    QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join(u'\n')));
    QVERIFY(clientBytes(transcriptPath).contains("Username: j\\xc3\\xb6rg\\r\\n"));
}

QTEST_MAIN(SecretTest)
#include "tst_secret.moc"
