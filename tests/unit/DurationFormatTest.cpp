#include "DurationFormat.h"

#include <gtest/gtest.h>

#include <stdexcept>

using corvale::DurationFormat;

namespace {

std::locale localeOrSkip(const char* name, bool& available)
{
    try {
        available = true;
        return std::locale(name);
    } catch (const std::runtime_error&) {
        available = false;
        return std::locale::classic();
    }
}

std::string minutes(const DurationFormat& format, std::string_view seconds)
{
    std::string out = "[";
    if (!format.appendMinutes(seconds, out))
        return "not a number";
    return out.substr(1);
}

} // namespace

TEST(DurationFormatTest, EnglishConventions)
{
    bool available = false;
    const auto locale = localeOrSkip("en_US.UTF-8", available);
    if (!available)
        GTEST_SKIP() << "en_US.UTF-8 is not installed (scripts/setup generates it)";
    const DurationFormat format(locale);
    EXPECT_EQ(minutes(format, "90"), "1.50");
    EXPECT_EQ(minutes(format, "100"), "1.67");
    EXPECT_EQ(minutes(format, "5"), "0.08");
    EXPECT_EQ(minutes(format, "0"), "0.00");
    EXPECT_EQ(minutes(format, "3600"), "60.00");
    EXPECT_EQ(minutes(format, "216000"), "3,600.00");
    EXPECT_EQ(minutes(format, "216000000"), "3,600,000.00");
    EXPECT_EQ(minutes(format, "-90"), "-1.50");
    EXPECT_EQ(minutes(format, "+90"), "1.50");
    EXPECT_EQ(minutes(format, "90.6"), "1.51");
}

TEST(DurationFormatTest, GermanConventions)
{
    bool available = false;
    const auto locale = localeOrSkip("de_DE.UTF-8", available);
    if (!available)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/setup generates it)";
    const DurationFormat format(locale);
    EXPECT_EQ(minutes(format, "90"), "1,50");
    EXPECT_EQ(minutes(format, "216000"), "3.600,00");
    EXPECT_EQ(minutes(format, "90,6"), "1,51");
    EXPECT_EQ(minutes(format, "90.6"), "not a number");
}

TEST(DurationFormatTest, ClassicLocaleDoesNotGroup)
{
    const DurationFormat format(std::locale::classic());
    EXPECT_EQ(minutes(format, "216000"), "3600.00");
}

TEST(DurationFormatTest, TextThatIsNotANumberIsRefused)
{
    const DurationFormat format(std::locale::classic());
    for (const char* bad : {"", "abc", "12abc", "1e5", "nan", "inf", "-", ".", "1.2.3", "0x10",
                            "\t5", "5 6"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(minutes(format, bad), "not a number");
    }
    EXPECT_EQ(minutes(format, std::string(401, '9')), "not a number");
}

TEST(DurationFormatTest, SeparatorsOfSeveralBytesAreWrittenWhole)
{
    // Pashto writes U+066B as its decimal separator and U+066C between groups, two bytes each in
    // UTF-8; a separator cut to its first byte would leave every entry invalid UTF-8.
    bool available = false;
    const auto locale = localeOrSkip("ps_AF.UTF-8", available);
    if (!available)
        GTEST_SKIP() << "ps_AF.UTF-8 is not installed (scripts/setup generates it)";
    const std::string point = "\xd9\xab";
    const std::string group = "\xd9\xac";
    for (const std::locale& numbers :
         {locale, std::locale(std::locale::classic(), locale, std::locale::numeric)}) {
        SCOPED_TRACE(numbers.name());
        const DurationFormat format(numbers);
        EXPECT_EQ(minutes(format, "90"), "1" + point + "50");
        EXPECT_EQ(minutes(format, "216000"), "3" + group + "600" + point + "00");
        EXPECT_EQ(minutes(format, "90" + point + "6"), "1" + point + "51");
        EXPECT_EQ(minutes(format, "90\xd9"), "not a number");
    }
    // A locale whose categories differ is named by all of them; only its numbers count here.
    const std::locale mixed(std::locale::classic(), locale, std::locale::numeric);
    EXPECT_NE(mixed.name().find("LC_NUMERIC=ps_AF.UTF-8"), std::string::npos);
}
