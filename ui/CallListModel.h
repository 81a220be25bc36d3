#pragma once

#include "Wire.h"

#include <QAbstractListModel>
#include <QString>

#include <string>
#include <string_view>
#include <vector>

// The entries of lstCalls. Each keeps the exact bytes the PBX sent, because Disconnect Call must
// send the channel back unchanged; only what the operator sees is decoded.
class CallListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit CallListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Entries wait here until flush(), so that one data arrival inserts one batch of rows
    // instead of one view update per call.
    void addPending(std::string_view entry, const corvale::EntryParts& parts);
    void flush();
    void clear();
    // Shown and pending entries: what the manager client counts.
    std::size_t count() const { return shown.size() + pending.size(); }
    const std::string& bytesAt(int row) const;
    // The entry's channel, byte for byte as the PBX sent it.
    std::string channelAt(int row) const;

private:
    struct Entry
    {
        std::string bytes;
        QString text;
        std::size_t channelEnd;
    };
    struct Pending
    {
        std::string bytes;
        corvale::EntryParts parts;
    };
    std::vector<Entry> shown;
    std::vector<Pending> pending;
};
