#include "StartUp.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The variables that say where a session bus is, put back as they were after each test.
class StartUpTest : public ::testing::Test
{
protected:
    static constexpr const char* Names[] = {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR",
                                            "DISPLAY"};

    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        for (const char* name : Names) {
            if (qEnvironmentVariableIsSet(name))
                saved.emplace_back(name, qgetenv(name));
            qunsetenv(name);
        }
        // A runtime folder of the user's own with no bus socket in it, as on a machine without
        // a session bus.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    void TearDown() override
    {
        for (const char* name : Names)
            qunsetenv(name);
        for (const auto& [name, value] : saved)
            qputenv(name, value);
    }

    // Listens on RUNTIME/bus, as the user's session bus does.
    int listenOnBusSocket() const
    {
        const QByteArray path = QFile::encodeName(runtime.filePath(u"bus"_s));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::copy(path.cbegin(), path.cend(), address.sun_path);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    }

    QTemporaryDir runtime;
    std::vector<std::pair<const char*, QByteArray>> saved;
};

} // namespace

TEST_F(StartUpTest, OnlyAMissingSessionBusIsDisabled)
{
    struct Case
    {
        const char* address; // nullptr: unset
        bool busSocket;
        std::optional<QByteArray> after;
    };
    const Case cases[] = {
        {nullptr, false, "disabled:"},
        {"autolaunch:", false, "disabled:"},
        {"", false, "disabled:"},
        {nullptr, true, std::nullopt},
        {"unix:path=/run/user/1000/bus", false, "unix:path=/run/user/1000/bus"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address != nullptr ? c.address : "unset");
        SCOPED_TRACE(c.busSocket ? "with the user's bus socket" : "without a bus socket");
        if (c.address != nullptr)
            qputenv("DBUS_SESSION_BUS_ADDRESS", c.address);
        else
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        const int socket = c.busSocket ? listenOnBusSocket() : -1;
        forbidBusAutolaunch();
        if (socket >= 0) {
            ::close(socket);
            QFile::remove(runtime.filePath(u"bus"_s));
        }
        EXPECT_EQ(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"), c.after.has_value());
        EXPECT_EQ(qgetenv("DBUS_SESSION_BUS_ADDRESS"), c.after.value_or(QByteArray()));
    }
}

TEST_F(StartUpTest, WithoutSessionBusQtDoesNotAutolaunchOne)
{
    // On X11 libdbus would run dbus-launch, which starts a bus daemon that outlives the program;
    // the error it reports says whether it tried.
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
