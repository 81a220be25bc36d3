#include "ViewExport.h"

#include "CsvExport.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>

namespace {

const QHeaderView* headerOf(const QAbstractItemView& view)
{
    if (const auto* tree = qobject_cast<const QTreeView*>(&view))
        return tree->header();
    if (const auto* table = qobject_cast<const QTableView*>(&view))
        return table->horizontalHeader();
    return nullptr;
}

// The columns in the order the view shows them; every column of a view without a header.
QList<int> columnsOf(const QAbstractItemView& view)
{
    if (const QHeaderView* header = headerOf(view))
        return CsvExport::visibleColumns(*header);
    QList<int> columns;
    for (int column = 0; column < view.model()->columnCount(); ++column)
        columns << column;
    return columns;
}

} // namespace

ViewExport::ViewExport(QTabWidget& views, QWidget& window)
    : QObject(&window)
    , tabs(views)
    , actExport(new QAction(tr("&Export..."), &window))
    , actCopy(new QAction(tr("&Copy"), &window))
{
    actExport->setObjectName(QStringLiteral("actExport"));
    actExport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    actExport->setToolTip(tr("Write the rows in view to a CSV file (Ctrl+E)"));
    actCopy->setObjectName(QStringLiteral("actCopy"));
    actCopy->setShortcut(QKeySequence::Copy);
    actCopy->setToolTip(tr("Copy the selected rows as tab-separated text (Ctrl+C)"));
    // A text field that has the focus copies its own text first.
    window.addAction(actCopy);
    connect(actExport, &QAction::triggered, this, &ViewExport::exportCurrent);
    // A filter field takes Ctrl+E for itself (the end of the line, on X11): there it exports too.
    for (QLineEdit* edit : views.findChildren<QLineEdit*>())
        edit->installEventFilter(this);
    connect(actCopy, &QAction::triggered, this, &ViewExport::copySelection);

    askFileName = [&window](const QString& suggested) {
        return QFileDialog::getSaveFileName(&window, tr("Export"), suggested,
                                            tr("CSV files (*.csv)"));
    };
    showFailure = [&window](const QString& text) {
        QMessageBox::warning(&window, tr("Corvale Console"), text);
    };
}

bool ViewExport::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_E))
            return true; // not accepted: the window's shortcut fires
    }
    return QObject::eventFilter(watched, event);
}

void ViewExport::setView(QWidget* page, QAbstractItemView* view)
{
    chosen.insert(page, view);
}

QAbstractItemView* ViewExport::currentView() const
{
    QWidget* page = tabs.currentWidget();
    if (page == nullptr)
        return nullptr;
    if (const auto it = chosen.constFind(page); it != chosen.constEnd() && !it.value().isNull())
        return it.value();
    return page->findChild<QAbstractItemView*>();
}

QString ViewExport::suggestedName() const
{
    QString view = tabs.tabText(tabs.currentIndex()).remove(QLatin1Char('&')).toLower();
    view.replace(QLatin1Char(' '), QLatin1Char('-'));
    const QString name =
        QStringLiteral("corvale-%1-%2.csv").arg(view, QDate::currentDate().toString(Qt::ISODate));
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(name);
}

QString ViewExport::write(const QAbstractItemView& view, const QString& path)
{
    const auto* tree = qobject_cast<const QTreeView*>(&view);
    const auto expanded = [tree](const QModelIndex& row) {
        return tree != nullptr && tree->isExpanded(row);
    };
    return CsvExport::write(*view.model(), columnsOf(view), path, expanded);
}

QString ViewExport::selectedText(const QAbstractItemView& view)
{
    return CsvExport::tabSeparated(*view.model(), view.selectionModel()->selectedIndexes(),
                                   columnsOf(view));
}

void ViewExport::exportCurrent()
{
    const QAbstractItemView* view = currentView();
    if (view == nullptr || view->model() == nullptr || !askFileName)
        return;
    const QString path = askFileName(suggestedName());
    if (path.isEmpty())
        return;
    const QString failure = write(*view, path);
    if (!failure.isEmpty()) {
        if (showFailure)
            showFailure(failure);
        return;
    }
    emit exported(tr("Exported %n rows to %1", nullptr, view->model()->rowCount())
                      .arg(QDir::toNativeSeparators(path)));
}

void ViewExport::copySelection()
{
    const QAbstractItemView* view = currentView();
    if (view == nullptr || view->model() == nullptr || view->selectionModel() == nullptr)
        return;
    const QString text = selectedText(*view);
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}
