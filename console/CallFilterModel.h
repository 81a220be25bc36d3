#pragma once

#include <QSortFilterProxyModel>
#include <QString>

// Sorts the console's calls on raw values and keeps the conversations any of whose texts, or
// any of whose legs' texts, hold the typed text regardless of case and accents.
class CallFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit CallFilterModel(QObject* parent = nullptr);

    void setFilterText(const QString& text);
    QString filterText() const { return sTyped; }

    // Without case and accents: "Zoë Müller" becomes "zoe muller".
    static QString fold(const QString& text);

    // From the source alone: a conversation shown always shows a leg (it matched, and so do its
    // legs, or it is shown for a leg that matched). The base class builds a mapping of the
    // children of every row the view asks about, and then renumbers all of them each time a
    // conversation ends.
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString sTyped;
    QString sFolded;
};
