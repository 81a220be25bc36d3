#pragma once

#include "History.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>

// The calls that ended, newest first, one row each. Texts are made when the view asks for them;
// rows come at the top as calls end and leave at the bottom as the history drops them.
class HistoryModel : public QAbstractTableModel, private corvale::History::Listener
{
    Q_OBJECT

public:
    enum Column
    {
        Ended,
        From,
        To,
        Pbx,
        Duration,
        HowEnded,
        ColumnCount
    };
    enum Role
    {
        SortRole = Qt::UserRole + 1, // the raw value: QDateTime with its offset, seconds, text
        FoldedRole,                  // the row's texts as `fold` made them, for the filter
        AbandonedRole,               // bool: the caller gave up waiting (the call-back list)
    };
    // Makes text comparable for the filter: the console's folding of case and accents.
    using Fold = std::function<QString(const QString&)>;

    // Takes the history's listener slot until destroyed, and prunes it once a minute.
    HistoryModel(corvale::History& history, Fold fold, QObject* parent = nullptr);
    ~HistoryModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The entry of a row; nullptr for none.
    const corvale::HistoryEntry* entryAt(const QModelIndex& index) const;

    // What the view tells the operator of what the history keeps.
    static QString boundsNote();
    // How the call ended, in words.
    static QString endingText(const corvale::HistoryEntry& entry);
    static QString durationText(qint64 seconds);
    static QString partyText(const std::string& number, const std::string& name);

private:
    void entryAboutToBeAdded() override;
    void entryAdded() override;
    void entriesAboutToBeRemoved(std::size_t count) override;
    void entriesRemoved() override;
    QVariant cell(const corvale::HistoryEntry& entry, int column, int role) const;
    QString foldedText(const corvale::HistoryEntry& entry) const;

    corvale::History& history;
    Fold folder;
    // In the history's order, oldest first: folded once, as each call ends.
    std::deque<QString> folded;
    std::size_t nRemoving = 0;
    QTimer pruning;
    mutable QIcon abandonedIcon;
};
