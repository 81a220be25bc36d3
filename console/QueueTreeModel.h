#pragma once

#include "CallTreeModel.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QSet>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace corvale {
struct AbandonedCaller;
struct AnsweredCaller;
struct Queue;
struct QueueCaller;
struct QueueMember;
class Queues;
} // namespace corvale

// The console's queues: a row per queue of each PBX, its waiting callers (by position) and then
// its members as child rows. Rows come and go one at a time, as the queues announce them, so the
// selection and the expanded queues stay where the operator left them. Each PBX is a source
// under its controller's key, its rows after those of the sources added before it, its name the
// PBX column's text, as the calls are.
class QueueTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column
    {
        Name,
        State,
        Waiting,
        Wait, // a queue's longest wait, a caller's wait, the time since a member's last call
        Answered,
        Abandoned,
        ServiceLevel,
        LoggedIn,
        Free,
        OnCall,
        Paused,
        Pbx,
        ColumnCount
    };
    // The calls' roles where they mean the same, so that one filter and sort serve both.
    enum Role
    {
        SortRole = CallTreeModel::SortRole,
        FoldedRole = CallTreeModel::FoldedRole,
        LongWaitRole = CallTreeModel::LongCallRole, // bool: a caller waiting past the threshold
        KindRole = Qt::UserRole + 16,               // RowKind
    };
    enum RowKind
    {
        QueueRow,
        CallerRow,
        MemberRow
    };
    // Without a threshold of its own a queue's callers wait long after this many seconds.
    static constexpr int DefaultLongWaitSeconds = 60;

    // A caller whose wait has just passed the threshold.
    struct LongWait
    {
        int key = 0;
        QString pbx;
        QString queue;
        QString caller;
        qint64 seconds = 0;
    };

    explicit QueueTreeModel(QObject* parent = nullptr);
    ~QueueTreeModel() override;

    // Adds the queues of a PBX after the others' and follows them (as their listener) until
    // removed; a key in use is replaced.
    void addSource(int key, corvale::Queues& queues, const QString& name);
    void removeSource(int key);
    bool hasSource(int key) const;
    std::size_t sourceCount() const { return sources.size(); }
    void setPbxName(int key, const QString& name);
    QString pbxName(int key) const;
    // Not current: the rows are greyed and say so until the PBX has listed its queues again.
    // Polled: no queue events come, and the tool tip says how often the listing is asked for.
    void setState(int key, bool current, bool polled, int pollSeconds);

    // 0: each queue's own service level where it reports one, else DefaultLongWaitSeconds.
    void setLongWaitSeconds(int seconds);
    int longWaitSeconds() const { return nLongWait; }
    int thresholdOf(const corvale::Queue& queue) const;
    // Marks the callers whose wait has passed the threshold since the last time, and returns
    // those never reported before (each caller once for as long as it waits).
    std::vector<LongWait> updateLongWaits();
    // The waits shown in these rows are due again.
    void tick(const QModelIndexList& rows);
    // The channels of the callers that came, went, moved or were answered since the last time
    // this was asked, so that the calls showing them can say so; `all` when there were too many
    // to keep (no one asked for long).
    std::vector<std::string> takeTouchedChannels(int key, bool& all);
    static constexpr std::size_t MaxTouched = 20000;

    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The queue of a queue's row or of its children's; nullptr for none.
    const corvale::Queue* queueAt(const QModelIndex& index) const;
    const corvale::QueueCaller* callerAt(const QModelIndex& index) const;
    const corvale::QueueMember* memberAt(const QModelIndex& index) const;
    // The key of the PBX a row is on; -1 for none.
    int keyAt(const QModelIndex& index) const;
    QModelIndex indexOf(const corvale::Queue& queue, int column = 0) const;

signals:
    void callerAbandoned(int key, const corvale::AbandonedCaller& caller);
    void callerAnswered(int key, const corvale::AnsweredCaller& caller);

private:
    struct Source;
    class Relay;
    friend class Relay;

    std::pair<const Source*, std::size_t> sourceAt(int row) const;
    Source* sourceWithKey(int key) const;
    int offsetOf(const Source& source) const;
    const Source* ownerOf(const corvale::Queue& queue) const;
    void forgetCallers(const corvale::Queue& queue);
    void emitRow(const QModelIndex& parent, int row);

    std::vector<std::unique_ptr<Source>> sources; // in the order of their rows
    void rowsMoved() { startsStale = true; }
    const std::vector<std::size_t>& starts() const;
    mutable std::vector<std::size_t> rowStarts;
    mutable bool startsStale = true;
    QHash<const corvale::Queue*, Source*> owners;
    QSet<const corvale::QueueCaller*> marked;   // waiting past the threshold
    QSet<const corvale::QueueCaller*> reported; // told of by updateLongWaits()
    int nLongWait = 0;
};
