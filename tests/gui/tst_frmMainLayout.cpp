// The window on its own: defaults, geometry in both modes, tab order, the Enter key, the masked
// password, accessibility and the icon. No PBX is involved; Connect is pointed at a port with
// nobody listening or refused before it connects.
#include "ScriptedPbx.h"
#include "WindowHarness.h"
#include "WindowIcon.h"

#include <QAccessible>
#include <QApplication>
#include <QInputMethodQueryEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QStyle>
#include <QTcpServer>
#include <QTest>

#include <memory>

namespace {

struct Rect
{
    const char* name;
    int left, top, width, height; // pixels at 96 dpi
};

// The layout in twips, at 15 twips to a pixel, rounded.
constexpr Rect LoginLayout[] = {
    {"lblHost", 4, 2, 111, 15},        {"txtHost", 118, 0, 133, 19},
    {"lblPort", 2, 20, 115, 21},       {"txtPort", 118, 20, 133, 19},
    {"lblUser", 0, 40, 119, 19},       {"txtUsername", 118, 40, 133, 19},
    {"lblPassword", 0, 62, 117, 19},   {"txtPassword", 118, 60, 133, 19},
    {"cmdConnect", 122, 80, 125, 15},  {"cmdKillCall", 4, 412, 235, 17},
    {"cmdReFetch", 240, 412, 201, 17},
};

QStringList visibleControls(const QWidget& window)
{
    QStringList out;
    for (const QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->objectName().isEmpty())
            out << child->objectName();
    }
    out.sort();
    return out;
}

} // namespace

class FrmMainLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void startsInLoginModeWithDefaults();
    void loginModeGeometryAt96Dpi();
    void callListModeGeometryAndResize();
    void tabOrderPutsConnectBeforeUserName();
    void enterInEachLoginFieldConnectsOnce_data();
    void enterInEachLoginFieldConnectsOnce();
    void enterInCallListModeReachesListOnly();
    void passwordIsMaskedWithStarsAndHidden();
    void controlsHaveAccessibleNames();
    void captionAndIcon();
    void commandLinePrefillsOnlyTheFieldsGiven();
    void iconIsDrawnSharpAtEverySize();
    void largestIconIsTheTelephoneStruckThrough();
};

void FrmMainLayoutTest::startsInLoginModeWithDefaults()
{
    WindowHarness h;
    h.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&h.window));

    QCOMPARE(h.field("txtHost")->text(), QStringLiteral("localhost"));
    QCOMPARE(h.field("txtPort")->text(), QStringLiteral("5038"));
    QCOMPARE(h.field("txtUsername")->text(), QStringLiteral("admin"));
    QCOMPARE(h.field("txtPassword")->text(), QString());
    QCOMPARE(QApplication::focusWidget(), h.field("txtHost"));
    QVERIFY(h.window.loginMode());
    QCOMPARE(h.list()->model()->rowCount(), 0);

    QCOMPARE(h.control<QLabel>("lblHost")->text(), QStringLiteral("Host:"));
    QCOMPARE(h.control<QLabel>("lblPort")->text(), QStringLiteral("Port:"));
    QCOMPARE(h.control<QLabel>("lblUser")->text(), QStringLiteral("User:"));
    QCOMPARE(h.control<QLabel>("lblPassword")->text(), QStringLiteral("Password:"));
    QCOMPARE(h.button("cmdConnect")->text(), QStringLiteral("Connect"));
    QCOMPARE(h.button("cmdKillCall")->text(), QStringLiteral("Disconnect Call"));
    QCOMPARE(h.button("cmdReFetch")->text(), QStringLiteral("Refresh List"));
    for (const char* name : {"lblHost", "lblPort", "lblUser", "lblPassword"}) {
        const QLabel* label = h.control<QLabel>(name);
        QVERIFY(label->alignment() & Qt::AlignLeft);
        QCOMPARE(label->frameShape(), QFrame::NoFrame);
    }
    const QStringList expected{"cmdConnect",  "cmdKillCall", "cmdReFetch", "lblHost",
                               "lblPassword", "lblPort",     "lblUser",    "txtHost",
                               "txtPassword", "txtPort",     "txtUsername"};
    QCOMPARE(visibleControls(h.window), expected);

    // The list: one selection, no sorting, no horizontal scroll bar.
    QCOMPARE(h.list()->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(h.list()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(h.list()->uniformItemSizes());
}

void FrmMainLayoutTest::loginModeGeometryAt96Dpi()
{
    WindowHarness h;
    h.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    QCOMPARE(h.window.logicalDpiX(), 96);

    // Client area 3825 x 1470 twips.
    QCOMPARE(h.window.size(), QSize(255, 98));
    for (const Rect& r : LoginLayout) {
        const QWidget* control = h.control<QWidget>(r.name);
        QVERIFY2(control, r.name);
        QCOMPARE(control->geometry(), QRect(r.left, r.top, r.width, r.height));
    }
    // The lower buttons are shown but lie below the client area.
    QVERIFY(h.button("cmdKillCall")->isVisible());
    QVERIFY(!h.window.rect().intersects(h.button("cmdKillCall")->geometry()));
    QVERIFY(!h.window.rect().intersects(h.button("cmdReFetch")->geometry()));
}

void FrmMainLayoutTest::callListModeGeometryAndResize()
{
    WindowHarness h;
    h.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    h.field("txtPort")->setText(QString::number(unusedPort()));
    h.button("cmdConnect")->click();
    QVERIFY(!h.window.loginMode());

    // Client area 6645 x 6435 twips; the list is the outer width (client + 120) less 40 twips,
    // 6725 twips, so it runs past the right edge.
    QCOMPARE(h.window.size(), QSize(443, 429));
    QCOMPARE(h.list()->geometry(), QRect(2, 2, 448, 407));
    QCOMPARE(h.button("cmdKillCall")->geometry(), QRect(4, 412, 235, 17));
    QCOMPARE(h.button("cmdReFetch")->geometry(), QRect(240, 412, 201, 17));
    const QStringList expected{"cmdKillCall", "cmdReFetch", "lstCalls"};
    QCOMPARE(visibleControls(h.window), expected);

    // Only the list's width follows the window.
    QList<QRect> before;
    const auto all = h.window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (const QWidget* child : all)
        before << child->geometry();
    h.window.resize(600, 300);
    QCOMPARE(h.list()->geometry(), QRect(2, 2, 605, 407));
    for (int i = 0; i < all.size(); ++i) {
        if (all[i] != h.list())
            QCOMPARE(all[i]->geometry(), before[i]);
    }
    // Too narrow for the list: it is given no width, never a negative one.
    h.window.resize(1, 300);
    QVERIFY(h.list()->width() >= 0);
}

void FrmMainLayoutTest::tabOrderPutsConnectBeforeUserName()
{
    WindowHarness h;
    h.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    const QStringList order{"txtHost",     "txtPort",     "cmdConnect", "txtUsername",
                            "txtPassword", "cmdKillCall", "cmdReFetch", "txtHost"};
    QCOMPARE(QApplication::focusWidget()->objectName(), order.front());
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), order[i]);
    }
    // The list joins the order when it is shown, after the password field.
    QCOMPARE(h.window.findChild<QWidget*>("txtPassword")->nextInFocusChain(),
             static_cast<QWidget*>(h.list()));
}

void FrmMainLayoutTest::enterInEachLoginFieldConnectsOnce_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::newRow("txtHost") << "txtHost" << int(Qt::Key_Return);
    QTest::newRow("txtPort") << "txtPort" << int(Qt::Key_Return);
    QTest::newRow("txtUsername") << "txtUsername" << int(Qt::Key_Return);
    QTest::newRow("txtPassword") << "txtPassword" << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << "txtPassword" << int(Qt::Key_Enter);
    QTest::newRow("cmdConnect") << "cmdConnect" << int(Qt::Key_Return);
}

void FrmMainLayoutTest::enterInEachLoginFieldConnectsOnce()
{
    QFETCH(QString, control);
    QFETCH(int, key);

    // An unreadable port makes every run of Connect say so: one message is one run.
    {
        WindowHarness h;
        h.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        h.field("txtPort")->setText(QStringLiteral("not a port"));
        QWidget* target = h.control<QWidget>(control.toLatin1().constData());
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(h.messages.size(), 1);
        QVERIFY(h.window.loginMode());
    }

    // With a good port, Connect runs and the key still reaches the field.
    WindowHarness h;
    h.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QTcpServer pbx;
    QVERIFY(pbx.listen(QHostAddress::LocalHost, 0));
    h.field("txtHost")->setText(QStringLiteral("127.0.0.1"));
    h.field("txtPort")->setText(QString::number(pbx.serverPort()));
    QSignalSpy accepted(&pbx, &QTcpServer::newConnection);
    QWidget* target = h.control<QWidget>(control.toLatin1().constData());
    target->setFocus();
    auto* edit = qobject_cast<QLineEdit*>(target);
    std::unique_ptr<QSignalSpy> reachedField;
    if (edit)
        reachedField = std::make_unique<QSignalSpy>(edit, &QLineEdit::returnPressed);
    QTest::keyClick(target, Qt::Key(key));
    QVERIFY(!h.window.loginMode());
    QVERIFY(h.messages.isEmpty());
    QVERIFY(accepted.wait(5000));
    if (reachedField)
        QCOMPARE(reachedField->size(), 1);
    QCOMPARE(h.window.socket().port(), int(pbx.serverPort()));
    QCOMPARE(h.window.socket().host(), QStringLiteral("127.0.0.1"));
}

void FrmMainLayoutTest::enterInCallListModeReachesListOnly()
{
    WindowHarness h;
    h.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QTcpServer pbx;
    QVERIFY(pbx.listen(QHostAddress::LocalHost, 0));
    QSignalSpy accepted(&pbx, &QTcpServer::newConnection);
    h.connectTo(pbx.serverPort());
    QVERIFY(accepted.wait(5000));
    QTcpSocket* peer = pbx.nextPendingConnection();
    peer->write("Asterisk Call Manager/1.1\r\nResponse: Success\r\n"
                "Message: Authentication accepted\r\n\r\nEvent: StatusComplete\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 1, 5000);

    h.selectRow(0);
    h.list()->setFocus();
    QSignalSpy activated(h.list(), &QListView::activated);
    QTest::keyClick(h.list(), Qt::Key_Return);
    QCOMPARE(activated.size(), 1); // the key went on to the list
    QVERIFY(h.messages.isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(accepted.size(), 1);
}

void FrmMainLayoutTest::passwordIsMaskedWithStarsAndHidden()
{
    WindowHarness h;
    h.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QLineEdit* password = h.field("txtPassword");
    password->setFocus();
    QTest::keyClicks(password, QStringLiteral("s3cret"));

    QCOMPARE(password->text(), QStringLiteral("s3cret"));
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QCOMPARE(password->displayText(), QStringLiteral("******"));
    QCOMPARE(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password),
             int('*'));
    QVERIFY(!password->testAttribute(Qt::WA_InputMethodEnabled));
    // What the platform's input method asks of the focused field.
    QInputMethodQueryEvent query(Qt::ImEnabled | Qt::ImHints);
    QCoreApplication::sendEvent(password, &query);
    QVERIFY(!query.value(Qt::ImEnabled).toBool());

    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(password);
    QVERIFY(a11y);
    QVERIFY(!a11y->text(QAccessible::Value).contains(QStringLiteral("s3cret")));
    QVERIFY(!a11y->text(QAccessible::Name).contains(QStringLiteral("s3cret")));
    // The other fields are not masked.
    QCOMPARE(h.field("txtUsername")->displayText(), QStringLiteral("admin"));
}

void FrmMainLayoutTest::controlsHaveAccessibleNames()
{
    WindowHarness h;
    const std::pair<const char*, const char*> names[] = {
        {"txtHost", "Host"},
        {"txtPort", "Port"},
        {"txtUsername", "User"},
        {"txtPassword", "Password"},
        {"cmdConnect", "Connect"},
        {"cmdKillCall", "Disconnect Call"},
        {"cmdReFetch", "Refresh List"},
        {"lstCalls", "Calls"},
    };
    for (const auto& [control, name] : names) {
        QAccessibleInterface* a11y =
            QAccessible::queryAccessibleInterface(h.control<QWidget>(control));
        QVERIFY2(a11y, control);
        QCOMPARE(a11y->text(QAccessible::Name), QString::fromLatin1(name));
    }
    // Each label names the field it stands beside.
    QCOMPARE(h.control<QLabel>("lblPort")->buddy(), h.control<QWidget>("txtPort"));
}

void FrmMainLayoutTest::captionAndIcon()
{
    WindowHarness h;
    QVERIFY(h.window.windowTitle().startsWith(QStringLiteral("Corvale - https://")));

    const QIcon icon = h.window.windowIcon();
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));

    // 16x16: blue telephone, red cross through its middle.
    const QImage small = icon.pixmap(16, 16).toImage();
    const QColor middle = small.pixelColor(8, 8);
    QVERIFY(middle.red() > 150 && middle.blue() < 100);
    bool blue = false;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            blue =
                blue || (small.pixelColor(x, y).blue() > 150 && small.pixelColor(x, y).red() < 100);
    QVERIFY(blue);

    // 32x32: the rows of lettering are blue, green and red, top to bottom.
    const QImage large = icon.pixmap(32, 32).toImage();
    auto dominant = [&large](int top, int bottom) {
        int r = 0, g = 0, b = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < 32; ++x) {
                const QColor c = large.pixelColor(x, y);
                if (c.alpha() == 0)
                    continue;
                r += c.red() > c.green() && c.red() > c.blue();
                g += c.green() > c.red() && c.green() > c.blue();
                b += c.blue() > c.red() && c.blue() > c.green();
            }
        return r > g && r > b ? 'r' : g > b ? 'g' : b > 0 ? 'b' : '-';
    };
    QCOMPARE(dominant(0, 10), 'b');
    QCOMPARE(dominant(11, 21), 'g');
    QCOMPARE(dominant(22, 32), 'r');
}

void FrmMainLayoutTest::commandLinePrefillsOnlyTheFieldsGiven()
{
    WindowHarness h;
    h.window.prefillLogin(QStringLiteral("pbx.example.org"), std::nullopt, QStringLiteral("ops"));
    QCOMPARE(h.field("txtHost")->text(), QStringLiteral("pbx.example.org"));
    QCOMPARE(h.field("txtPort")->text(), QStringLiteral("5038"));
    QCOMPARE(h.field("txtUsername")->text(), QStringLiteral("ops"));
    QCOMPARE(h.field("txtPassword")->text(), QString());

    h.window.prefillLogin(std::nullopt, QStringLiteral("15038"), std::nullopt);
    QCOMPARE(h.field("txtHost")->text(), QStringLiteral("pbx.example.org"));
    QCOMPARE(h.field("txtPort")->text(), QStringLiteral("15038"));
}

void FrmMainLayoutTest::iconIsDrawnSharpAtEverySize()
{
    // Every larger size up to 128 is the 32x32 lettering with bigger blocks: each pixel of the
    // 32x32 image becomes a solid square, never a blend of two colours.
    const QImage base = WindowIcon::drawn(32);
    for (const int size : WindowIcon::Sizes) {
        const QImage image = WindowIcon::drawn(size);
        QCOMPARE(image.size(), QSize(size, size));
        if (size < 32 || size % 32 != 0 || size == 256)
            continue;
        const int scale = size / 32;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                QCOMPARE(image.pixel(x, y), base.pixel(x / scale, y / scale));
    }
    QVERIFY(WindowIcon::drawn(20).isNull());
}

void FrmMainLayoutTest::largestIconIsTheTelephoneStruckThrough()
{
    // 256x256 is the 16x16 mark drawn large: shrunk to 16x16, nearly every pixel is what the
    // small one has there, empty, blue or red (the lettering matches in about a third).
    const QImage small = WindowIcon::drawn(16);
    const QImage shrunk =
        WindowIcon::drawn(256).scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const auto kind = [](QRgb pixel) {
        return qAlpha(pixel) < 128 ? 0 : qRed(pixel) > qBlue(pixel) ? 1 : 2;
    };
    int alike = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            alike += kind(small.pixel(x, y)) == kind(shrunk.pixel(x, y)) ? 1 : 0;
    QVERIFY2(alike >= 16 * 16 * 8 / 10, qPrintable(QString::number(alike)));
}

QTEST_MAIN(FrmMainLayoutTest)
#include "tst_frmMainLayout.moc"
