#pragma once

#include "Conversations.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QString>

#include <optional>

// The console's calls: a row per conversation, its legs as child rows. Texts and durations are
// made when the view asks for them; rows come and go one at a time, never by a reset, so the
// selection and the expanded conversations stay where the operator left them.
class CallTreeModel : public QAbstractItemModel, private corvale::Conversations::Listener
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

    explicit CallTreeModel(corvale::Conversations& conversations, QObject* parent = nullptr);
    ~CallTreeModel() override;

    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const corvale::Conversations& conversations() const { return calls; }
    // The conversation of a row, or of a leg's row; nullptr for none.
    const corvale::Conversation* conversationAt(const QModelIndex& index) const;
    // The leg of a leg's row; nullptr for a conversation's row.
    const corvale::Leg* legAt(const QModelIndex& index) const;
    QModelIndex indexOf(const corvale::Conversation& conversation, int column = 0) const;

    void setPbxName(const QString& name);
    QString pbxName() const { return sPbx; }

    // Conversations that have lasted at least this long are long calls.
    void setLongCallSeconds(int seconds);
    int longCallSeconds() const { return nLongSeconds; }
    // Marks the conversations that have become long calls since the last time (their rows are
    // redrawn whole) and returns how many there are.
    int updateLongCalls();
    int longCalls() const { return nLong; }

    // The durations shown in these rows are due again.
    void tick(const QModelIndexList& rows);

    // What the operator sees of a conversation, as in its row: From is its caller, the leg that
    // started first.
    const corvale::Leg& callerOf(const corvale::Conversation& conversation) const;
    QString fromText(const corvale::Conversation& conversation) const;
    QString toText(const corvale::Conversation& conversation) const;
    std::optional<double> secondsOf(const corvale::Conversation& conversation) const;
    std::optional<double> secondsOf(const corvale::Leg& leg) const;
    // The Duration column's sort value of a row: seconds, -1 when unknown.
    double sortSeconds(const QModelIndex& index) const;
    static QString durationText(double seconds);
    static QString partyText(const std::string& number, const std::string& name);

private:
    void conversationAboutToBeAdded(std::size_t row) override;
    void conversationAdded() override;
    void conversationAboutToBeRemoved(std::size_t row) override;
    void conversationRemoved() override;
    void legAboutToBeAdded(const corvale::Conversation& conversation,
                           std::size_t position) override;
    void legAdded() override;
    void legAboutToBeRemoved(const corvale::Conversation& conversation,
                             std::size_t position) override;
    void legRemoved() override;
    void conversationChanged(const corvale::Conversation& conversation) override;
    void legChanged(const corvale::Conversation& conversation, std::size_t position) override;

    QVariant conversationData(const corvale::Conversation& conversation, int column,
                              int role) const;
    QVariant legData(const corvale::Leg& leg, int column, int role) const;
    QString stateText(const corvale::Conversation& conversation) const;
    bool isLong(const corvale::Conversation& conversation) const;
    void forget(const corvale::Conversation& conversation);

    corvale::Conversations& calls;
    QString sPbx;
    int nLongSeconds = 600;
    int nLong = 0;
    std::size_t nAddedRow = 0;
    mutable QIcon longIcon;
    // Folded once per change of a row's text, not once per keystroke.
    mutable QHash<quint64, QString> foldedConversations;
    mutable QHash<const corvale::Leg*, QString> foldedLegs;
};
