#pragma once

#include "ConnectionLoss.h"

#include <QObject>

#include <optional>

namespace corvale {

// While a view has a box open, a loss that will not be retried waits for it to close, so that the
// operator is told one thing at a time; the first loss is told once the last box has closed.
class LossHold : public QObject
{
    Q_OBJECT

public:
    explicit LossHold(QObject* parent = nullptr);

    // A box opened (true) or closed; boxes nest.
    void setHeld(bool held);
    bool held() const { return nHeld > 0; }
    // While held: keeps the first loss.
    void keep(ConnectionLoss loss)
    {
        if (!waiting)
            waiting = std::move(loss);
    }
    void clear() { waiting.reset(); }

signals:
    // The last box closed with a loss waiting; from the event loop, so that whoever showed the box
    // finishes its step first.
    void due(const corvale::ConnectionLoss& loss);

private:
    int nHeld = 0;
    std::optional<ConnectionLoss> waiting;
};

} // namespace corvale
