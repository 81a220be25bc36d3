#include "Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdlib>
#include <locale.h>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The name under which the C library has `language`'s conventions, or nothing.
QByteArray installedLocale(const QLocale& language)
{
    const QByteArray name = language.name().toLatin1(); // "de_DE"
    for (const QByteArray& candidate : {name + ".UTF-8", name + ".utf8", name}) {
        const locale_t c = newlocale(LC_NUMERIC_MASK, candidate.constData(), locale_t{});
        if (c != locale_t{}) {
            freelocale(c);
            return candidate;
        }
    }
    return {};
}

// LC_NUMERIC counts only when LC_ALL is not set. LC_ALL names every category, so it moves to
// LANG, the lowest rank, and the other LC_ variables it overruled go: each category is then
// what it was, LC_NUMERIC apart.
void setNumericLocale(const QByteArray& name)
{
    const char* all = std::getenv("LC_ALL");
    if (all != nullptr && *all != '\0') {
        const QByteArray everything(all);
        for (const char* category :
             {"LC_CTYPE", "LC_COLLATE", "LC_MESSAGES", "LC_MONETARY", "LC_TIME", "LC_PAPER",
              "LC_NAME", "LC_ADDRESS", "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"})
            unsetenv(category);
        setenv("LANG", everything.constData(), 1);
        unsetenv("LC_ALL");
    }
    setenv("LC_NUMERIC", name.constData(), 1);
}

// The language of the translation installed, or nothing when none was found.
std::optional<QLocale> load(const QLocale& language, const QString& file,
                            const QStringList& folders)
{
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    for (const QString& folder : folders) {
        if (translator->load(language, file, u"_"_s, folder)) {
            const QLocale found(translator->language());
            QCoreApplication::installTranslator(translator.release());
            return found;
        }
    }
    return std::nullopt;
}

} // namespace

QLocale useLanguage(const QString& code)
{
    const QLocale language(code);
    QLocale::setDefault(language);
    if (const QByteArray name = installedLocale(language); !name.isEmpty())
        setNumericLocale(name);
    return language;
}

QStringList translationFolders()
{
    // CORVALE_INSTALLED_TRANSLATIONS: the folder as seen from the installed executable's.
    return {u":/i18n"_s, QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                         u"/" CORVALE_INSTALLED_TRANSLATIONS ""_s)};
}

bool installTranslations(const QLocale& language, const QStringList& folders)
{
    // The language may be the second choice of several (LANGUAGE=fr:de); Qt's texts follow the
    // one Corvale's were found in.
    const std::optional<QLocale> found = load(language, u"corvale"_s, folders);
    if (!found)
        return false;
    QStringList qtFolders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    if (!qtFolders.contains(u"/usr/share/qt6/translations"_s))
        qtFolders << u"/usr/share/qt6/translations"_s;
    load(*found, u"qtbase"_s, qtFolders);
    return true;
}
