#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAbstractItemView;
class QAction;
class QTabWidget;
class QWidget;

// File > Export... and Ctrl+C for whichever of the console's views is in front: its rows as it
// shows them (filtered, sorted, the columns in its order, the children of expanded rows after
// them) to a CSV file, or the selected rows to the clipboard as tab-separated text. Any item
// view over any model will do.
class ViewExport : public QObject
{
    Q_OBJECT

public:
    // The actions' shortcuts work anywhere in `window`.
    ViewExport(QTabWidget& views, QWidget& window);

    // The view a page exports; a page not named here exports the first item view it holds.
    void setView(QWidget* page, QAbstractItemView* view);
    QAbstractItemView* currentView() const;

    QAction* exportAction() const { return actExport; }
    QAction* copyAction() const { return actCopy; }

    // Asks for a file and writes the view in front to it; a file that cannot be written is said
    // in one box, and nothing is left of it.
    void exportCurrent();
    // The selected rows of the view in front, to the clipboard.
    void copySelection();
    // What exportCurrent() writes, and copySelection() copies, of a view.
    static QString write(const QAbstractItemView& view, const QString& path);
    static QString selectedText(const QAbstractItemView& view);

    // The file to write, from a dialog; empty when the operator cancelled. Tests replace it.
    std::function<QString(const QString& suggested)> askFileName;
    // The one box for a failure.
    std::function<void(const QString& text)> showFailure;

signals:
    // For the status bar: what was written where.
    void exported(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString suggestedName() const;

    QTabWidget& tabs;
    QHash<QWidget*, QPointer<QAbstractItemView>> chosen;
    QAction* actExport;
    QAction* actCopy;
};
