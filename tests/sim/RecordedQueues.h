#pragma once

#include "Queue.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The queues and callers of recordings 23 to 25.
namespace simtest {

// support (rrmemory, 60 s) with Cleo Agent, then sales (ringall, 30 s) with Ben and Anna Agent,
// in the PBX's order; every member paused since the queues were `loaded`.
inline std::vector<pbxsim::Queue> recordedQueues(std::int64_t loaded)
{
    auto agent = [&](std::string name, int ext) {
        pbxsim::QueueMember m;
        m.name = std::move(name);
        m.interface = "Local/" + std::to_string(ext) + "@queue-agents/n";
        m.paused = true;
        m.lastPause = loaded;
        m.loginTime = loaded;
        return m;
    };
    pbxsim::Queue support;
    support.name = "support";
    support.strategy = "rrmemory";
    support.members = {agent("Cleo Agent", 6003)};
    pbxsim::Queue sales;
    sales.name = "sales";
    sales.serviceLevel = 30;
    sales.members = {agent("Ben Agent", 6002), agent("Anna Agent", 6001)};
    return {support, sales};
}

// The caller leg of `channel originate Local/EXT@queue-callers`: number 556EXT, "Waiting EXT",
// in Queue; `id` is its unique id, the other leg's (one less) its linked id.
inline pbxsim::Call queueCaller(int ext, unsigned counter, const std::string& stamp, int id,
                                std::int64_t started)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", counter);
    const std::string e = std::to_string(ext);
    pbxsim::Call call;
    call.channel = "Local/" + e + "@queue-callers-" + hex + ";2";
    call.callerNum = "556" + e;
    call.callerName = "Waiting " + e;
    call.extension = e;
    call.context = "queue-callers";
    call.uniqueid = stamp + "." + std::to_string(id);
    call.linkedid = stamp + "." + std::to_string(id - 1);
    call.startedAt = started;
    return call;
}

} // namespace simtest
