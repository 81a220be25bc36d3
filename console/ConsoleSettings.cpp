#include "ConsoleSettings.h"

#include "ConsoleWindow.h"
#include "QueuesView.h"

#include <QHeaderView>
#include <QSettings>
#include <QTabWidget>
#include <QTreeView>

void ConsoleSettings::save(const ConsoleWindow& window, const Choices& choices)
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("console"));
    settings.setValue(QStringLiteral("geometry"), window.saveGeometry());
    settings.setValue(QStringLiteral("columns"), window.tree()->header()->saveState());
    settings.setValue(QStringLiteral("longCallMinutes"), choices.longCallMinutes);
    settings.setValue(QStringLiteral("confirmHangups"), choices.confirmHangups);
    settings.setValue(QStringLiteral("view"), window.views()->currentIndex());
    window.queues()->saveSettings(settings);
}

ConsoleSettings::Choices ConsoleSettings::restore(ConsoleWindow& window)
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("console"));
    window.restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    QTreeView* tree = window.tree();
    QHeaderView* header = tree->header();
    if (header->restoreState(settings.value(QStringLiteral("columns")).toByteArray()))
        tree->sortByColumn(header->sortIndicatorSection(), header->sortIndicatorOrder());
    window.queues()->restoreSettings(settings);
    // The view chosen last, once every view has been added.
    QTabWidget* views = window.views();
    const int view = settings.value(QStringLiteral("view"), 0).toInt();
    if (view >= 0 && view < views->count())
        views->setCurrentIndex(view);
    return {settings.value(QStringLiteral("longCallMinutes"), ConsoleWindow::DefaultLongCallMinutes)
                .toInt(),
            settings.value(QStringLiteral("confirmHangups"), true).toBool()};
}
