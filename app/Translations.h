#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// For --lang, before the QApplication exists: the language's conventions become those of every
// number shown, QLocale's default and the C library's LC_NUMERIC (which the call list window's
// minutes follow), when the system has that locale. Returns the language.
QLocale useLanguage(const QString& code);

// Where translations are looked for, first to last: the program's resources, then the folder
// installed beside the executable (PREFIX/share/corvale/translations), where a site can add a
// language the program was built without.
QStringList translationFolders();

// Installs on the running application Corvale's texts in `language`, and then Qt's own texts
// (the standard dialog buttons) in the same language. English needs neither; a language without
// Corvale's texts gets none of Qt's either, so that a window never mixes two languages. Returns
// whether Corvale's texts were found.
bool installTranslations(const QLocale& language, const QStringList& folders);
