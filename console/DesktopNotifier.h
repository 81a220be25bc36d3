#pragma once

#include <QObject>
#include <QString>

class QSystemTrayIcon;

// A message in the desktop's notification area that asks nothing of the operator: through the
// freedesktop notification service where the session bus has one, else through a tray icon.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifier(QObject* parent = nullptr);
    ~DesktopNotifier() override;

    // False when the desktop has neither.
    bool show(const QString& title, const QString& body);

private:
    bool showOverBus(const QString& title, const QString& body);

    QSystemTrayIcon* tray = nullptr;
};
