#pragma once

#include <locale>
#include <optional>
#include <string>
#include <string_view>

namespace corvale {

// Reads a call's seconds and shows them as minutes with two decimals, under the number
// conventions of a locale (decimal separator, digit grouping). The locale's facets are read
// once, not per call, because a listing formats one number per call.
class DurationFormat
{
public:
    explicit DurationFormat(const std::locale& numbers);

    // Appends the minutes to `out`; returns false, appending nothing, when `seconds` is not a
    // number.
    bool appendMinutes(std::string_view seconds, std::string& out) const;

    // The two halves of appendMinutes, for a duration read once and shown many times: the
    // seconds as a number (nothing when they are not one), and that number shown as minutes.
    std::optional<double> readSeconds(std::string_view seconds) const;
    bool appendMinutesOf(double seconds, std::string& out) const;

    // The process locale, as the user's environment sets it; the classic one if that is broken.
    static std::locale userLocale();

private:
    // Each separator as many bytes as the locale's character set takes for it.
    std::string decimalPoint = ".";
    std::string thousandsSep = ",";
    std::string grouping;
};

} // namespace corvale
