#include "StartUp.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QLocalServer>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The variables that say where a session bus is, put back after each test; the user's runtime
// folder is one of the test's own, with no bus socket unless a test makes one.
class StartUpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "DISPLAY"}) {
            saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : "");
            qunsetenv(name);
        }
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    void TearDown() override
    {
        for (const auto& [name, value] : saved)
            value.isEmpty() ? qunsetenv(name) : qputenv(name, value);
    }

    QTemporaryDir runtime;
    std::vector<std::pair<const char*, QByteArray>> saved;
};

} // namespace

TEST_F(StartUpTest, OnlyAMissingSessionBusIsDisabled)
{
    struct Case
    {
        std::optional<QByteArray> address, after;
        bool busSocket = false; // the user's bus listens in the runtime folder
    };
    const Case cases[] = {
        {std::nullopt, "disabled:"},
        {"", "disabled:"},
        {"autolaunch:", "disabled:"},
        {std::nullopt, std::nullopt, true},
        {"unix:path=/run/user/1000/bus", "unix:path=/run/user/1000/bus"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.value_or("unset").toStdString() + (c.busSocket ? ", socket" : ""));
        c.address ? qputenv("DBUS_SESSION_BUS_ADDRESS", *c.address)
                  : qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        QLocalServer bus;
        if (c.busSocket) {
            ASSERT_TRUE(bus.listen(runtime.filePath(u"bus"_s)));
        }
        forbidBusAutolaunch();
        EXPECT_EQ(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"), c.after.has_value());
        EXPECT_EQ(qgetenv("DBUS_SESSION_BUS_ADDRESS"), c.after.value_or(QByteArray()));
    }
}

TEST_F(StartUpTest, WithoutSessionBusQtDoesNotAutolaunchOne)
{
    // On X11 libdbus would run dbus-launch, which starts a bus daemon that outlives the program;
    // its error says whether it tried.
    qputenv("DISPLAY", ":99");
    forbidBusAutolaunch();
    const QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"t"_s);
    EXPECT_FALSE(bus.isConnected());
    EXPECT_FALSE(bus.lastError().message().contains(u"launch"_s, Qt::CaseInsensitive))
        << bus.lastError().message().toStdString();
    QDBusConnection::disconnectFromBus(u"t"_s);
}

TEST_F(StartUpTest, SettingsGoUnderTheDesktopId)
{
    nameApplication();
    EXPECT_TRUE(QSettings().fileName().endsWith(u"/org.example/corvale.conf"_s))
        << QSettings().fileName().toStdString();
}
