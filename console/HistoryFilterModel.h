#pragma once

#include <QSortFilterProxyModel>
#include <QString>

#include <functional>

// Sorts the history on raw values and keeps the calls whose texts hold the typed text, folded as
// the rows' texts are; with abandonedOnly, the callers who gave up waiting alone (the call-back
// list).
class HistoryFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    using Fold = std::function<QString(const QString&)>;

    explicit HistoryFilterModel(Fold fold, QObject* parent = nullptr);

    void setFilterText(const QString& text);
    QString filterText() const { return sTyped; }
    void setAbandonedOnly(bool only);
    bool abandonedOnly() const { return bAbandonedOnly; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    Fold folder;
    QString sTyped;
    QString sFolded;
    bool bAbandonedOnly = false;
};
