#pragma once

#include "Conversations.h"

#include <QString>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>

namespace corvale {
class Queues;
} // namespace corvale

// One PBX's conversations as the call tree shows them: the model draws them, CallTreeRows
// keeps them in the order of their rows.
struct CallTreeSource
{
    int key = 0;
    quint64 serial = 0; // unique in its model for good: legs' rows name their source by it
    corvale::Conversations* calls = nullptr;
    QString name;
    const corvale::Queues* queues = nullptr;
    std::unique_ptr<corvale::Conversations::Listener> relay;
    std::size_t nAddedRow = 0;
    std::optional<std::chrono::steady_clock::time_point> staleSince;
};
