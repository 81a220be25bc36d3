#pragma once

#include "LiveCalls.h"

#include <QAbstractListModel>

#include <optional>
#include <string>

// The rows of lstCalls in live mode: the live calls, one row each, in their order. An entry's
// text is made when the view asks for it, so the minutes tick without ten thousand strings
// being rebuilt every second; rows come and go one announcement at a time, never by a reset, so
// the selection and the scroll position stay on the calls they were on.
class LiveCallModel : public QAbstractListModel, private corvale::LiveCalls::Listener
{
    Q_OBJECT

public:
    explicit LiveCallModel(corvale::LiveCalls& calls, QObject* parent = nullptr);
    ~LiveCallModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Brings the rows up to the live calls after an arrival: new calls as one batch, and
    // "Currently No Calls" exactly when a listing has been seen and no call is up.
    void flush();
    // The minutes shown in these rows are due again.
    void tick(int first, int last);
    // The channel of a row, byte for byte as the PBX sent it; nothing for "Currently No Calls".
    std::optional<std::string> channelAt(int row) const;

private:
    void callsAboutToBeRemoved(std::size_t first, std::size_t last) override;
    void callsRemoved() override;
    void callChanged(std::size_t row) override;

    corvale::LiveCalls& calls;
    std::size_t nShown = 0;    // calls [0, nShown) are rows; later ones await flush()
    std::size_t nRemoving = 0; // rows announced as about to go
    bool bPlaceholder = false;
    mutable std::string sEntry;
};
