#include "DurationFormat.h"

#include <charconv>
#include <clocale>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <system_error>

#include <langinfo.h>
#include <locale.h>

namespace corvale {

namespace {

// The name of a locale's number conventions: the whole name, or its LC_NUMERIC part when the
// categories differ ("LC_CTYPE=en_US.UTF-8;LC_NUMERIC=ps_AF.UTF-8;..."). Empty for a locale
// that has no name, such as one made with a facet of its own.
std::string numericName(const std::string& name)
{
    if (name.empty() || name == "*")
        return {};
    constexpr std::string_view Key = "LC_NUMERIC=";
    const std::size_t at = name.find(Key);
    if (at == std::string::npos)
        return name.find('=') == std::string::npos ? name : std::string();
    const std::size_t from = at + Key.size();
    return name.substr(from, name.find(';', from) - from);
}

} // namespace

DurationFormat::DurationFormat(const std::locale& numbers)
{
    const auto& punct = std::use_facet<std::numpunct<char>>(numbers);
    decimalPoint.assign(1, punct.decimal_point());
    thousandsSep.assign(1, punct.thousands_sep());
    grouping = punct.grouping();

    // The facet holds one char per separator: of a separator that takes several bytes it keeps
    // the first, or a stand-in. The C library has the whole of each.
    const std::string name = numericName(numbers.name());
    if (name.empty())
        return;
    const locale_t c = newlocale(LC_NUMERIC_MASK, name.c_str(), locale_t{});
    if (c == locale_t{})
        return;
    const std::string point = nl_langinfo_l(RADIXCHAR, c);
    if (!point.empty())
        decimalPoint = point;
    thousandsSep = nl_langinfo_l(THOUSEP, c);
    freelocale(c);
}

std::locale DurationFormat::userLocale()
{
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic();
    }
}

std::optional<double> DurationFormat::readSeconds(std::string_view seconds) const
{
    // A number is an optional sign, digits, and optionally the locale's decimal separator with
    // more digits. Anything else (words, exponents, "nan") is not a duration.
    constexpr std::size_t MaxDigits = 400;
    if (seconds.empty() || seconds.size() > MaxDigits)
        return std::nullopt;
    char text[MaxDigits + 1];
    std::size_t n = 0;
    std::size_t i = 0;
    if (seconds[0] == '-' || seconds[0] == '+') {
        if (seconds[0] == '-')
            text[n++] = '-';
        ++i;
    }
    bool digits = false;
    bool point = false;
    while (i < seconds.size()) {
        const char c = seconds[i];
        if (c >= '0' && c <= '9') {
            text[n++] = c;
            digits = true;
            ++i;
        } else if (!point && seconds.substr(i, decimalPoint.size()) == decimalPoint) {
            text[n++] = '.';
            point = true;
            i += decimalPoint.size();
        } else {
            return std::nullopt;
        }
    }
    if (!digits)
        return std::nullopt;
    double value = 0;
    const auto parsed = std::from_chars(text, text + n, value);
    if (parsed.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool DurationFormat::appendMinutes(std::string_view seconds, std::string& out) const
{
    const std::optional<double> value = readSeconds(seconds);
    return value && appendMinutesOf(*value, out);
}

bool DurationFormat::appendMinutesOf(double value, std::string& out) const
{
    constexpr std::size_t MaxDigits = 400;
    if (!std::isfinite(value))
        return false;

    char shown[MaxDigits + 8];
    const auto printed =
        std::to_chars(shown, shown + sizeof shown, value / 60.0, std::chars_format::fixed, 2);
    if (printed.ec != std::errc())
        return false;
    std::string_view fixed(shown, static_cast<std::size_t>(printed.ptr - shown));
    if (fixed.front() == '-') {
        out += '-';
        fixed.remove_prefix(1);
    }
    const std::size_t dot = fixed.find('.');
    const std::string_view whole = fixed.substr(0, dot);

    // Group the whole part from the right as the locale's grouping says; its last size
    // repeats, and a size of zero or CHAR_MAX stops grouping.
    std::size_t cuts[MaxDigits];
    std::size_t nCuts = 0;
    if (!grouping.empty() && !thousandsSep.empty() && thousandsSep.front() != '\0') {
        std::size_t left = whole.size();
        std::size_t g = 0;
        while (true) {
            const int size = static_cast<unsigned char>(grouping[g]);
            if (size <= 0 || size == CHAR_MAX || static_cast<std::size_t>(size) >= left)
                break;
            left -= static_cast<std::size_t>(size);
            cuts[nCuts++] = left;
            if (g + 1 < grouping.size())
                ++g;
        }
    }
    std::size_t from = 0;
    while (nCuts > 0) {
        const std::size_t cut = cuts[--nCuts];
        out.append(whole.substr(from, cut - from));
        out += thousandsSep;
        from = cut;
    }
    out.append(whole.substr(from));
    out += decimalPoint;
    out.append(fixed.substr(dot + 1));
    return true;
}

} // namespace corvale
