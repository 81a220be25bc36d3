#pragma once

#include <QSortFilterProxyModel>
#include <QString>

// Sorts the console's calls on raw values and keeps the conversations any of whose texts, or
// any of whose legs' texts, hold the typed text, folded as foldForFilter() folds both.
class CallFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit CallFilterModel(QObject* parent = nullptr);

    void setFilterText(const QString& text);
    QString filterText() const { return sTyped; }

    // From the source alone: a conversation shown always shows a leg (it matched, and so do its
    // legs, or it is shown for a leg that matched). The base class builds a mapping of the
    // children of every row the view asks about, and then renumbers all of them each time a
    // conversation ends.
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;

signals:
    // After the rows shown have followed the new text; also when none came or went.
    void filterTextChanged(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString sTyped;
    QString sFolded;
};
