#include "LossHold.h"

#include <QTimer>

#include <algorithm>

namespace corvale {

LossHold::LossHold(QObject* parent)
    : QObject(parent)
{}

void LossHold::setHeld(bool held)
{
    nHeld = std::max(0, nHeld + (held ? 1 : -1));
    if (nHeld > 0 || !waiting)
        return;
    QTimer::singleShot(0, this, [this] {
        if (waiting && nHeld == 0)
            emit due(*waiting);
    });
}

} // namespace corvale
