#include "Translations.h"

#include "DurationFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

namespace {

// The locale variables of the environment, put back as they were after each test.
class LanguageTest : public ::testing::Test
{
protected:
    static constexpr const char* Names[] = {"LANG", "LC_ALL", "LC_NUMERIC", "LC_MESSAGES",
                                            "LC_TIME"};

    void SetUp() override
    {
        for (const char* name : Names) {
            if (const char* value = std::getenv(name))
                saved[name] = value;
            unsetenv(name);
        }
    }
    void TearDown() override
    {
        for (const char* name : Names)
            unsetenv(name);
        for (const auto& [name, value] : saved)
            setenv(name.c_str(), value.c_str(), 1);
        QLocale::setDefault(QLocale::c());
    }

    // The minutes as the call list window shows them, under the environment as it now is.
    static std::string minutes(const char* seconds)
    {
        std::string out;
        corvale::DurationFormat(corvale::DurationFormat::userLocale()).appendMinutes(seconds, out);
        return out;
    }

    static std::string env(const char* name)
    {
        const char* value = std::getenv(name);
        return value == nullptr ? "(unset)" : value;
    }

    std::map<std::string, std::string> saved;
};

} // namespace

TEST_F(LanguageTest, NumbersFollowTheLanguageAndTheOtherCategoriesStay)
{
    setenv("LANG", "en_US.UTF-8", 1);
    setenv("LC_TIME", "ps_AF.UTF-8", 1);
    ASSERT_EQ(minutes("90"), "1.50");

    const QLocale language = useLanguage(QStringLiteral("de"));
    EXPECT_EQ(language.language(), QLocale::German);
    EXPECT_EQ(QLocale().toString(1.5, 'f', 2), QStringLiteral("1,50"));
    EXPECT_EQ(minutes("90"), "1,50");
    EXPECT_EQ(env("LANG"), "en_US.UTF-8");
    EXPECT_EQ(env("LC_TIME"), "ps_AF.UTF-8");
}

TEST_F(LanguageTest, LcAllGivesWayToTheLanguageForNumbersAlone)
{
    // LC_ALL overrules LC_NUMERIC, and every other LC_ variable with it.
    setenv("LC_ALL", "ps_AF.UTF-8", 1);
    setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
    setenv("LANG", "de_DE.UTF-8", 1);

    useLanguage(QStringLiteral("en_US"));
    EXPECT_EQ(minutes("90"), "1.50");
    // Every other category is still what LC_ALL said.
    EXPECT_EQ(env("LC_ALL"), "(unset)");
    EXPECT_EQ(env("LC_MESSAGES"), "(unset)");
    EXPECT_EQ(env("LANG"), "ps_AF.UTF-8");
}

TEST_F(LanguageTest, ALanguageTheSystemLacksLeavesTheEnvironment)
{
    setenv("LANG", "en_US.UTF-8", 1);
    useLanguage(QStringLiteral("ja"));
    EXPECT_EQ(QLocale().language(), QLocale::Japanese);
    EXPECT_EQ(env("LC_NUMERIC"), "(unset)");
    EXPECT_EQ(minutes("90"), "1.50");
}
