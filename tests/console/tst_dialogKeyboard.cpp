#include "ConnectDialog.h"
#include "ConsoleWindow.h"
#include "PauseDialog.h"
#include "PbxProfile.h"
#include "PreferencesDialog.h"
#include "ProfileConnections.h"
#include "SecretStore.h"
#include "Translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTranslator>
#include <QtTest>

#include <functional>

using namespace Qt::StringLiterals;

// Every dialog of the console by keyboard, in English and in German: Tab walks its controls in the
// order they stand on screen, and no two of its Alt shortcuts are the same.
class tst_dialogKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void tabFollowsTheScreenAndMnemonicsAreUnique_data();
    void tabFollowsTheScreenAndMnemonicsAreUnique();
};

namespace {

using Opening = std::function<void(const std::function<void(QDialog&)>& check)>;

// Never asked: the secret prompt's owner needs a store.
class NoSecrets : public SecretStore
{
    void read(const QString&, Callback) override {}
    void write(const QString&, const std::string&, Callback) override {}
    void remove(const QString&, Callback) override {}
};

// Whether `b` stands after `a` in reading order: further right on the same row (its middle within
// a's height), or lower.
bool after(const QRect& a, const QRect& b)
{
    const bool sameRow = b.center().y() >= a.top() && b.center().y() <= a.bottom();
    return sameRow ? b.left() > a.left() : b.top() > a.center().y();
}

void checkKeyboard(QDialog& dialog)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const auto place = [&dialog](const QWidget* w) {
        return QRect(w->mapTo(&dialog, QPoint()), w->size());
    };
    // The controls Tab reaches, round the chain from the one at the top left.
    QList<QWidget*> chain;
    for (QWidget* w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain())
        if (w->isVisibleTo(&dialog) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            w->focusProxy() == nullptr && !chain.contains(w))
            chain << w;
    const auto first = std::min_element(chain.begin(), chain.end(), [&](auto* a, auto* b) {
        return std::pair(place(a).top(), place(a).left()) <
               std::pair(place(b).top(), place(b).left());
    });
    std::rotate(chain.begin(), first, chain.end());
    QStringList order;
    for (const QWidget* w : chain)
        order << (w->objectName().isEmpty() ? w->property("text").toString() : w->objectName());
    QVERIFY2(chain.size() >= 3, qPrintable(order.join(u", ")));
    for (qsizetype i = 1; i < chain.size(); ++i)
        QVERIFY2(
            after(place(chain[i - 1]), place(chain[i])),
            qPrintable(order[i - 1] + u" before "_s + order[i] + u" in: "_s + order.join(u", ")));

    // The shortcuts of the labels (for their fields) and of the buttons, each once.
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (label->isVisibleTo(&dialog) && label->buddy() != nullptr)
            texts << label->text();
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        if (button->isVisibleTo(&dialog))
            texts << button->text();
    QHash<QKeySequence, QString> taken;
    for (const QString& text : texts) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        QVERIFY2(key.isEmpty() || !taken.contains(key),
                 qPrintable(key.toString() + u" is "_s + taken.value(key) + u" and "_s + text));
        taken.insert(key, text);
    }
}

ConnectionFields withTls()
{
    ConnectionFields fields;
    fields.tls = true; // the CA file's field and button take part only with TLS
    return fields;
}

} // namespace

void tst_dialogKeyboard::cleanup()
{
    for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

void tst_dialogKeyboard::tabFollowsTheScreenAndMnemonicsAreUnique_data()
{
    QTest::addColumn<Opening>("open");
    QTest::addColumn<QString>("language");
    std::vector<std::pair<const char*, Opening>> dialogs;
    dialogs.emplace_back("connect", Opening([](const auto& check) {
                             ConnectDialog dialog;
                             dialog.setFields(withTls());
                             check(dialog);
                         }));
    dialogs.emplace_back("saved PBX", Opening([](const auto& check) {
                             ConnectDialog dialog;
                             PbxProfile profile;
                             profile.fields = withTls();
                             dialog.setProfile(profile, {});
                             check(dialog);
                         }));
    dialogs.emplace_back("preferences", Opening([](const auto& check) {
                             PreferencesDialog dialog;
                             check(dialog);
                         }));
    dialogs.emplace_back("pause a member", Opening([](const auto& check) {
                             PauseDialog dialog(u"Anna Agent"_s, u"sales"_s);
                             check(dialog);
                         }));
    dialogs.emplace_back(
        "secret prompt", Opening([](const auto& check) {
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
            QTimer::singleShot(10000, &window, [] {
                if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    dialog->reject();
            });
            std::string secret;
            profiles.askSecret(QStringLiteral("HQ"), secret);
            QVERIFY(checked);
        }));
    for (const QString& language : {u"en"_s, u"de"_s})
        for (const auto& [name, open] : dialogs)
            QTest::newRow(qPrintable(language + u' ' + QString::fromUtf8(name)))
                << open << language;
}

void tst_dialogKeyboard::tabFollowsTheScreenAndMnemonicsAreUnique()
{
    QFETCH(Opening, open);
    QFETCH(QString, language);
    installTranslations(QLocale(language), translationFolders());
    open(checkKeyboard);
}

QTEST_MAIN(tst_dialogKeyboard)
#include "tst_dialogKeyboard.moc"
