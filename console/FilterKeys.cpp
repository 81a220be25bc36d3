#include "FilterKeys.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLineEdit>

namespace {

QAction* key(QWidget& on, const char* text, Qt::Key which)
{
    // The texts are the calls' own, translated once for every tab.
    auto* action = new QAction(QCoreApplication::translate("ConsoleWindow", text), &on);
    action->setShortcut(QKeySequence(which));
    action->setShortcutContext(Qt::WidgetShortcut);
    on.addAction(action);
    return action;
}

void enterRows(QAbstractItemView& rows)
{
    rows.setFocus(Qt::ShortcutFocusReason);
    const QModelIndex first = rows.model() != nullptr ? rows.model()->index(0, 0) : QModelIndex();
    if (first.isValid() && rows.selectionModel() != nullptr)
        rows.selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
}

} // namespace

namespace FilterKeys {

void attach(QLineEdit& filter, QAbstractItemView& rows)
{
    QObject::connect(
        key(filter, QT_TRANSLATE_NOOP("ConsoleWindow", "Clear the filter"), Qt::Key_Escape),
        &QAction::triggered, &filter, [&filter, &rows] {
            if (filter.text().isEmpty())
                rows.setFocus(Qt::ShortcutFocusReason);
            else
                filter.clear();
        });
    QObject::connect(
        key(rows, QT_TRANSLATE_NOOP("ConsoleWindow", "Show all calls"), Qt::Key_Escape),
        &QAction::triggered, &filter, &QLineEdit::clear);
    QObject::connect(
        key(filter, QT_TRANSLATE_NOOP("ConsoleWindow", "Go to the calls"), Qt::Key_Down),
        &QAction::triggered, &rows, [&rows] { enterRows(rows); });
    QObject::connect(&filter, &QLineEdit::returnPressed, &rows, [&rows] { enterRows(rows); });
}

void focus(QLineEdit& filter)
{
    filter.setFocus(Qt::ShortcutFocusReason);
    filter.selectAll();
}

} // namespace FilterKeys
