#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvale {

// The queue actions, byte for byte. Each returns nothing when a value could smuggle in extra
// headers (see isSafeHeaderValue). An empty queue or reason is left out.

// Pauses or unpauses a member: in one queue, or in all of its queues when none is named. Needs
// the write class agent.
std::optional<std::string> queuePauseAction(std::string_view interface, bool paused,
                                            std::string_view queue = {},
                                            std::string_view reason = {});
// The listings, of every queue or of one, with an ActionID the PBX repeats in each record.
std::optional<std::string> queueStatusAction(std::string_view actionId,
                                             std::string_view queue = {});
std::optional<std::string> queueSummaryAction(std::string_view actionId,
                                              std::string_view queue = {});

} // namespace corvale
