#include "ConnectDialog.h"
#include "ConsoleWindow.h"
#include "PbxProfile.h"
#include "PreferencesDialog.h"
#include "ProfileConnections.h"
#include "SecretStore.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

// Every dialog of the console by keyboard: Tab walks its controls in the order they stand on
// screen, and no two of its Alt shortcuts are the same.
class tst_dialogKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tabFollowsTheScreenAndMnemonicsAreUnique_data();
    void tabFollowsTheScreenAndMnemonicsAreUnique();
};

namespace {

using Check = std::function<void(QDialog&)>;
using Opening = std::function<void(const Check&)>;

// A store that is never asked: the secret prompt needs one to exist.
class NoSecrets : public SecretStore
{
public:
    void read(const QString&, Callback) override {}
    void write(const QString&, const std::string&, Callback) override {}
    void remove(const QString&, Callback) override {}
};

ConnectionFields withTls()
{
    ConnectionFields fields;
    fields.tls = true; // the CA file's field and button take part only with TLS
    return fields;
}

void checkShown(QDialog& dialog, const Check& check)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    check(dialog);
}

QRect place(const QDialog& dialog, const QWidget* w)
{
    return QRect(w->mapTo(&dialog, QPoint()), w->size());
}

// The controls Tab reaches, round the dialog's chain from the one at the top left.
QList<QWidget*> tabChain(QDialog& dialog)
{
    QList<QWidget*> chain;
    for (QWidget* w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain()) {
        if (w->isVisibleTo(&dialog) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            w->focusProxy() == nullptr && !chain.contains(w))
            chain << w;
    }
    const auto first = std::min_element(chain.cbegin(), chain.cend(), [&](auto* a, auto* b) {
        const QPoint p = place(dialog, a).topLeft(), q = place(dialog, b).topLeft();
        return std::pair(p.y(), p.x()) < std::pair(q.y(), q.x());
    });
    std::rotate(chain.begin(), chain.begin() + (first - chain.cbegin()), chain.end());
    return chain;
}

QString named(const QWidget* w)
{
    if (!w->objectName().isEmpty())
        return w->objectName();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    return QString::fromLatin1(w->metaObject()->className());
}

// Whether `b` stands after `a` in reading order: on a lower row, or on the same row further
// right.
bool after(const QRect& a, const QRect& b)
{
    const bool sameRow = b.center().y() >= a.top() && b.center().y() <= a.bottom();
    return sameRow ? b.left() > a.left() : b.top() > a.center().y();
}

void checkKeyboard(QDialog& dialog)
{
    const QList<QWidget*> chain = tabChain(dialog);
    QStringList order;
    for (const QWidget* w : chain)
        order << named(w);
    QVERIFY2(chain.size() >= 3, qPrintable(order.join(u", ")));
    for (qsizetype i = 1; i < chain.size(); ++i) {
        QVERIFY2(after(place(dialog, chain[i - 1]), place(dialog, chain[i])),
                 qPrintable(QStringLiteral("%1 before %2 in: %3")
                                .arg(named(chain[i - 1]), named(chain[i]), order.join(u", "))));
    }

    // Each shortcut of a label (for its field) or a button, once.
    QHash<QKeySequence, QString> taken;
    const auto claim = [&taken](const QString& text) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (key.isEmpty())
            return;
        QVERIFY2(!taken.contains(key),
                 qPrintable(QStringLiteral("%1 is both %2 and %3")
                                .arg(key.toString(), taken.value(key), text)));
        taken.insert(key, text);
    };
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (label->isVisibleTo(&dialog) && label->buddy() != nullptr)
            claim(label->text());
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        if (button->isVisibleTo(&dialog))
            claim(button->text());
}

} // namespace

void tst_dialogKeyboard::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_dialogKeyboard::tabFollowsTheScreenAndMnemonicsAreUnique_data()
{
    QTest::addColumn<Opening>("open");
    QTest::newRow("connect") << Opening([](const Check& check) {
        ConnectDialog dialog;
        dialog.setFields(withTls());
        checkShown(dialog, check);
    });
    QTest::newRow("saved PBX") << Opening([](const Check& check) {
        ConnectDialog dialog;
        PbxProfile profile;
        profile.name = QStringLiteral("HQ");
        profile.fields = withTls();
        dialog.setProfile(profile, {});
        checkShown(dialog, check);
    });
    QTest::newRow("preferences") << Opening([](const Check& check) {
        PreferencesDialog dialog;
        checkShown(dialog, check);
    });
    QTest::newRow("secret prompt") << Opening([](const Check& check) {
        // The console's own prompt, checked once it is on screen, then cancelled.
        ConsoleWindow window;
        NoSecrets secrets;
        ProfileConnections profiles(window, secrets);
        bool checked = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                poll.stop();
                check(*dialog);
                checked = true;
                dialog->reject();
            }
        });
        poll.start(10);
        QTimer::singleShot(10000, &poll, [&poll] {
            poll.stop();
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        std::string secret;
        profiles.askSecret(QStringLiteral("HQ"), secret);
        QVERIFY(checked);
    });
}

void tst_dialogKeyboard::tabFollowsTheScreenAndMnemonicsAreUnique()
{
    QFETCH(Opening, open);
    open(checkKeyboard);
}

QTEST_MAIN(tst_dialogKeyboard)
#include "tst_dialogKeyboard.moc"
