#include "DesktopNotifier.h"

#include <QApplication>
#include <QStyle>
#include <QSystemTrayIcon>

#ifdef CORVALE_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>
#endif

namespace {

constexpr int ShownMilliseconds = 10000;

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : QObject(parent)
{}

DesktopNotifier::~DesktopNotifier() = default;

bool DesktopNotifier::show(const QString& title, const QString& body)
{
    if (showOverBus(title, body))
        return true;
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    if (tray == nullptr) {
        tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
        if (tray->icon().isNull())
            tray->setIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
        tray->show();
    }
    tray->showMessage(title, body, QSystemTrayIcon::Warning, ShownMilliseconds);
    return true;
}

bool DesktopNotifier::showOverBus(const QString& title, const QString& body)
{
#ifdef CORVALE_HAVE_DBUS
    static const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(service).value())
        return false;
    QDBusMessage notify =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                       service, QStringLiteral("Notify"));
    notify << QApplication::applicationDisplayName() << 0u << QStringLiteral("dialog-warning")
           << title << body << QStringList() << QVariantMap() << ShownMilliseconds;
    // Sent without waiting: the answer is only the notification's number.
    return bus.send(notify);
#else
    Q_UNUSED(title);
    Q_UNUSED(body);
    return false;
#endif
}
