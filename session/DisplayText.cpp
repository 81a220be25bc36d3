#include "DisplayText.h"

#include <algorithm>

namespace corvale {

QString displayText(std::string_view bytes)
{
    const auto size = static_cast<qsizetype>(bytes.size());
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), size);
    return QString::fromLatin1(bytes.data(), size);
}

QString displayText(std::string_view entry, const EntryParts& parts)
{
    // Parts meet at ASCII text, so an entry valid as a whole is valid part by part: the usual
    // case is decoded in one go.
    if (isValidUtf8(entry))
        return QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
    QString text;
    text.reserve(static_cast<qsizetype>(entry.size()));
    std::size_t from = 0;
    for (const std::size_t end : parts) {
        const std::size_t to = std::min(std::max(end, from), entry.size());
        text += displayText(entry.substr(from, to - from));
        from = to;
    }
    text += displayText(entry.substr(from));
    return text;
}

bool isValidUtf8(std::string_view bytes)
{
    // Strict: no overlong forms, no surrogates, nothing above U+10FFFF, no cut-off sequence.
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < lo || second > hi)
            return false;
        for (std::size_t k = 2; k < len; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if (next < 0x80 || next > 0xBF)
                return false;
        }
        i += len;
    }
    return true;
}

} // namespace corvale
