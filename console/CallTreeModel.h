#pragma once

#include "CallTreeRows.h"
#include "Conversations.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QString>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace corvale {
class Queues;
} // namespace corvale

// The console's calls: a row per conversation, its legs as child rows. Texts and durations are
// made when the view asks for them (by the rules of CallPresentation); rows come and go one at a
// time, never by a reset, so the selection and the expanded conversations stay where the
// operator left them.
//
// The conversations come from one PBX or several, each a source of its own under a key: a
// source's rows follow those of the sources added before it, and its name is the PBX column's
// text.
class CallTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column
    {
        From,
        To,
        Channels,
        State,
        Duration,
        Pbx,
        ColumnCount
    };
    enum Role
    {
        SortRole = Qt::UserRole + 1, // the raw value: seconds, a count, the text
        FoldedRole,                  // the row's texts without case or accents, for the filter
        ChannelRole,                 // a leg's channel, the PBX's bytes (QByteArray)
        LongCallRole,                // bool: a conversation past the long-call threshold
    };

    explicit CallTreeModel(QObject* parent = nullptr);
    ~CallTreeModel() override;

    // Adds the conversations of a PBX after the others' (their rows at once), and follows them
    // until removed. The key is the caller's; it must not be in use.
    void addSource(int key, corvale::Conversations& conversations, const QString& name);
    // Removes a source's rows and stops following it.
    void removeSource(int key);
    // The key of the source a conversation is in; -1 for none.
    int sourceOf(const corvale::Conversation& conversation) const;

    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The conversation of a row, or of a leg's row; nullptr for none.
    const corvale::Conversation* conversationAt(const QModelIndex& index) const;
    // The leg of a leg's row; nullptr for a conversation's row.
    const corvale::Leg* legAt(const QModelIndex& index) const;
    QModelIndex indexOf(const corvale::Conversation& conversation, int column = 0) const;

    // The queues of a source's PBX (null: none), by which its waiting callers and answered queue
    // calls say so; refreshChannels() redraws the calls on these channels (or all of the
    // source's) after their queues changed.
    void setQueues(int key, const corvale::Queues* queues);
    void refreshChannels(int key, const std::vector<std::string>& channels, bool all = false);

    // The PBX column's text for the source with this key.
    void setPbxName(int key, const QString& name);
    QString pbxName(int key) const;

    // A source whose connection is gone: its calls are greyed and their durations stand still
    // at this moment, until it is live again.
    void setStale(int key, bool stale);

    // Conversations that have lasted at least this long are long calls.
    void setLongCallSeconds(int seconds);
    int longCallSeconds() const { return nLongSeconds; }
    // Marks the conversations that have become long calls since the last time (their rows are
    // redrawn whole) and returns how many there are.
    int updateLongCalls();
    int longCalls() const { return nLong; }

    // The durations shown in these rows are due again.
    void tick(const QModelIndexList& rows);

    // The Duration column's sort value of a row: seconds, -1 when unknown.
    double sortSeconds(const QModelIndex& index) const;

private:
    class Relay;
    friend class Relay;

    void redraw(const CallTreeSource& source);
    const corvale::Conversation* conversationOf(const QModelIndex& index) const;

    void conversationAboutToBeAdded(CallTreeSource& source, std::size_t row);
    void conversationAdded(CallTreeSource& source);
    void conversationAboutToBeRemoved(CallTreeSource& source, std::size_t row);
    void conversationRemoved();
    void legAboutToBeAdded(const corvale::Conversation& conversation, std::size_t position);
    void legAdded();
    void legAboutToBeRemoved(const corvale::Conversation& conversation, std::size_t position);
    void legRemoved();
    void conversationChanged(const CallTreeSource& source,
                             const corvale::Conversation& conversation);
    void legChanged(const corvale::Conversation& conversation, std::size_t position);

    QVariant conversationData(const corvale::Conversation& conversation, int column,
                              int role) const;
    QVariant legData(const corvale::Leg& leg, int column, int role) const;
    bool isLong(const corvale::Conversation& conversation) const;
    // When the durations of a source's calls are counted to: now, or the moment it went stale.
    std::chrono::steady_clock::time_point nowOf(const CallTreeSource* source) const;
    bool isLong(const corvale::Conversation& conversation,
                std::chrono::steady_clock::time_point now) const;
    void forget(const CallTreeSource& source, const corvale::Conversation& conversation);
    static quint64 foldKey(const CallTreeSource& source, const corvale::Conversation& conversation);

    CallTreeRows sources;
    int nLongSeconds = 600;
    int nLong = 0;
    // Folded once per change of a row's text, not once per keystroke.
    mutable QHash<quint64, QString> foldedConversations;
    mutable QHash<const corvale::Leg*, QString> foldedLegs;
};
