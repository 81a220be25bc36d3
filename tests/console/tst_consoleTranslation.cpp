#include "CallPresentation.h"
#include "ConnectDialog.h"
#include "ConsoleWindow.h"
#include "QueueTreeModel.h"
#include "SessionTexts.h"
#include "Translations.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QTreeView>
#include <QXmlStreamReader>
#include <QtTest>

using namespace Qt::StringLiterals;

// The console in German, as --lang de or a German system has it, and the translation's
// completeness.
class tst_consoleTranslation : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void theConsoleSpeaksGerman();
    void everyMenusShortcutsAreUnique_data();
    void everyMenusShortcutsAreUnique();
    void englishAndLanguagesWithoutTextsLoadNothing();
    void anInstalledFolderAddsALanguage();
    void everyMessageIsTranslated_data();
    void everyMessageIsTranslated();
};

namespace {

// The texts an operator sees first: the title, the first menu, the filter's placeholder, the
// first column's header, and the connect dialog's buttons (Cancel is Qt's own).
struct Seen
{
    QString title, menu, placeholder, firstColumn, connect, cancel;
};

Seen seen()
{
    Seen texts;
    ConsoleWindow window;
    texts.title = window.windowTitle();
    texts.menu = window.menuBar()->actions().value(1)->text(); // after File
    texts.placeholder = window.findChild<QLineEdit*>(u"filterEdit"_s)->placeholderText();
    texts.firstColumn = window.findChild<QTreeView*>(u"callTree"_s)
                            ->model()
                            ->headerData(0, Qt::Horizontal)
                            .toString();
    ConnectDialog dialog;
    texts.connect = dialog.findChild<QPushButton*>(u"connectButton"_s)->text();
    texts.cancel = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text();
    return texts;
}

void expectEnglish(const Seen& texts)
{
    QCOMPARE(texts.title, u"Corvale Console"_s);
    QCOMPARE(texts.menu, u"&Calls"_s);
    QCOMPARE(texts.placeholder, u"Filter calls by number, name, extension or channel"_s);
    QCOMPARE(texts.firstColumn, u"From"_s);
    QCOMPARE(texts.connect, u"&Connect"_s);
    QCOMPARE(texts.cancel, u"Cancel"_s);
}

// The %1 to %99 and %n a text holds, in order of number.
QStringList placeholders(const QString& text)
{
    static const QRegularExpression marker(u"%(\\d{1,2}|n)"_s);
    QStringList found;
    for (const auto& match : marker.globalMatch(text))
        found << match.captured();
    found.sort();
    return found;
}

} // namespace

void tst_consoleTranslation::cleanup()
{
    for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

void tst_consoleTranslation::theConsoleSpeaksGerman()
{
    QVERIFY(installTranslations(QLocale(u"de"_s), translationFolders()));
    const Seen texts = seen();
    QCOMPARE(texts.title, u"Corvale-Konsole"_s);
    QCOMPARE(texts.menu, u"&Gespräche"_s);
    QCOMPARE(texts.placeholder, u"Gespräche nach Nummer, Name, Nebenstelle oder Kanal filtern"_s);
    QCOMPARE(texts.firstColumn, u"Von"_s);
    QCOMPARE(texts.connect, u"&Verbinden"_s);
    // Qt's own, installed with qt6-translations-l10n (scripts/setup).
    QCOMPARE(texts.cancel, u"Abbrechen"_s);
    // A plural by the count: German has a form for one and one for the rest.
    QCOMPARE(QCoreApplication::translate("CallTreeModel", "%n channels", nullptr, 1), u"1 Kanal"_s);
    QCOMPARE(QCoreApplication::translate("CallTreeModel", "%n channels", nullptr, 3),
             u"3 Kanäle"_s);
    // What the session reports, in the console's own words.
    using corvale::SessionReport;
    SessionReport ended = SessionReport::of(SessionReport::Kind::HangupDone);
    ended.channel = "SIP/1";
    QCOMPARE(SessionTexts::message(ended), u"Das Gespräch auf SIP/1 wurde beendet."_s);
    const SessionReport refused = SessionReport::connectionFailed(
        corvale::ConnectionProblem::of(corvale::ConnectionProblem::Cause::Refused), u"pbx"_s, 5038);
    QCOMPARE(SessionTexts::message(refused),
             u"Keine Verbindung zu pbx:5038: die Verbindung wurde abgelehnt"_s);
    // The queues' cells are filled outside their model's class, in its context; the ordinals
    // through a table of forms.
    QCOMPARE(QueueTreeModel().headerData(QueueTreeModel::Name, Qt::Horizontal).toString(),
             u"Warteschlange"_s);
    QCOMPARE(CallPresentation::ordinal(2), u"2."_s);
}

void tst_consoleTranslation::everyMenusShortcutsAreUnique_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << u"en"_s;
    QTest::newRow("German") << u"de"_s;
}

// The menu bar's Alt shortcuts, and those within each of its menus, each once.
void tst_consoleTranslation::everyMenusShortcutsAreUnique()
{
    QFETCH(QString, language);
    installTranslations(QLocale(language), translationFolders());
    ConsoleWindow window;
    QList<QList<QAction*>> menus{window.menuBar()->actions()};
    for (const QMenu* menu : window.menuBar()->findChildren<QMenu*>())
        menus << menu->actions();
    for (const QList<QAction*>& actions : std::as_const(menus)) {
        QHash<QKeySequence, QString> taken;
        for (const QAction* action : actions) {
            const QKeySequence key = QKeySequence::mnemonic(action->text());
            QVERIFY2(key.isEmpty() || !taken.contains(key),
                     qPrintable(key.toString() + u" is "_s + taken.value(key) + u" and "_s +
                                action->text()));
            taken.insert(key, action->text());
        }
    }
    QVERIFY(menus.size() > 3);
}

void tst_consoleTranslation::englishAndLanguagesWithoutTextsLoadNothing()
{
    QVERIFY(!installTranslations(QLocale(u"en_GB"_s), translationFolders()));
    expectEnglish(seen());
    // Qt has French texts, Corvale has none: the window stays in one language.
    QVERIFY(!installTranslations(QLocale(u"fr"_s), translationFolders()));
    expectEnglish(seen());
}

void tst_consoleTranslation::anInstalledFolderAddsALanguage()
{
    // A site drops a language the program was built without into the installed folder.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QFile::copy(u":/i18n/corvale_de.qm"_s, folder.filePath(u"corvale_nl.qm"_s)));
    QVERIFY(installTranslations(QLocale(u"nl"_s), {u":/i18n"_s, folder.path()}));
    QCOMPARE(seen().title, u"Corvale-Konsole"_s);
}

void tst_consoleTranslation::everyMessageIsTranslated_data()
{
    QTest::addColumn<QString>("ts");
    QTest::newRow("de") << QStringLiteral(CORVALE_SOURCE_DIR "/i18n/corvale_de.ts");
}

void tst_consoleTranslation::everyMessageIsTranslated()
{
    QFETCH(QString, ts);
    QFile file(ts);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString context, source;
    QStringList forms;
    bool numerus = false;
    int messages = 0;
    QStringList problems;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        if (name == u"name"_s) {
            context = xml.readElementText();
        } else if (name == u"message"_s) {
            numerus = xml.attributes().value(u"numerus"_s) == u"yes"_s;
            ++messages;
        } else if (name == u"source"_s) {
            source = xml.readElementText();
        } else if (name == u"translation"_s) {
            const QString where = context + u": "_s + source + u": "_s;
            // unfinished, vanished (gone from the sources) and obsolete all need a hand.
            if (const auto type = xml.attributes().value(u"type"_s); !type.isEmpty())
                problems << where + type.toString();
            forms.clear();
            if (numerus) {
                while (xml.readNextStartElement())
                    forms << xml.readElementText();
                if (forms.size() != 2)
                    problems << where + u"German takes two plural forms"_s;
            } else {
                forms << xml.readElementText();
            }
            for (const QString& form : std::as_const(forms)) {
                if (form.trimmed().isEmpty())
                    problems << where + u"empty"_s;
                else if (placeholders(form) != placeholders(source))
                    problems << where + u"other placeholders: "_s + form;
                else if (source.contains(QRegularExpression(u"&\\w"_s)) &&
                         !form.contains(QRegularExpression(u"&\\w"_s)))
                    problems << where + u"no keyboard shortcut: "_s + form;
            }
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(messages > 0);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

QTEST_MAIN(tst_consoleTranslation)
#include "tst_consoleTranslation.moc"
