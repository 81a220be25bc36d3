#pragma once

#include "CallGenerator.h"
#include "QueueTable.h"

#include <cstddef>
#include <cstdint>

namespace pbxsim {

// The demo's queues: sales (ringall, answered within 30 s) with Anna Agent and Ben Agent, who is
// paused for lunch, and support (rrmemory, 60 s) with Cleo Agent; two callers wait in sales and
// one in support, for a minute or so.
void addDemoQueues(QueueTable& queues, CallGenerator& generator, std::int64_t now);

// A busy PBX's queues for benchmarks: queue-001 ..., the members spread over them in turn (one
// in ten paused), the callers too, each waiting up to three minutes.
void addGeneratedQueues(QueueTable& queues, CallGenerator& generator, std::size_t queueCount,
                        std::size_t members, std::size_t waiting, std::int64_t now);

} // namespace pbxsim
