#include "FilterFolding.h"

#include <QHash>

#include <algorithm>
#include <memory>
#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace {

// Made once: building it reads ICU's rules, far more than folding costs. The filter at its head
// leaves ASCII alone, which would otherwise cost as much again; case is Qt's to fold, after.
const icu::Transliterator* transliterator()
{
    static const std::unique_ptr<icu::Transliterator> made = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> folder(icu::Transliterator::createInstance(
            icu::UnicodeString::fromUTF8("[:^ASCII:]; Any-Latin; Latin-ASCII"), UTRANS_FORWARD,
            status));
        return U_SUCCESS(status) ? std::move(folder) : nullptr;
    }();
    return made.get();
}

// Without ICU's rules (its data missing): the accents of decomposable letters only.
QString withoutAccents(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out;
}

QString transliterated(const QString& word)
{
    const icu::Transliterator* folder = transliterator();
    if (folder == nullptr)
        return withoutAccents(word).toLower();
    icu::UnicodeString text(reinterpret_cast<const UChar*>(word.utf16()),
                            static_cast<int32_t>(word.size()));
    folder->transliterate(text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length()).toLower();
}

// Names recur (an agent on every call, a surname in many), and one takes ICU some microseconds:
// each word is transliterated once, while the words remembered stay few.
QString foldedWord(const QString& word)
{
    static QHash<QString, QString> folded;
    const auto it = folded.constFind(word);
    if (it != folded.constEnd())
        return *it;
    if (folded.size() >= 8192)
        folded.clear();
    return *folded.insert(word, transliterated(word));
}

bool ascii(QChar c)
{
    return c.unicode() < 0x80;
}

bool separator(QChar c)
{
    return ascii(c) && !c.isLetterOrNumber();
}

} // namespace

QString foldForFilter(const QString& text)
{
    // Most of what a PBX sends is ASCII already: numbers, channels, states.
    if (std::all_of(text.cbegin(), text.cend(), ascii))
        return text.toLower();
    QString out;
    out.reserve(text.size());
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = at;
        while (end < text.size() && !separator(text[end]))
            ++end;
        const QStringView word = QStringView(text).mid(at, end - at);
        if (std::all_of(word.begin(), word.end(), ascii))
            out += word.toString().toLower();
        else
            out += foldedWord(word.toString());
        for (; end < text.size() && separator(text[end]); ++end)
            out += text[end].toLower();
        at = end;
    }
    return out;
}
