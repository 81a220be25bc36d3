#include "QueueSetup.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace pbxsim {

namespace {

QueueMember member(std::string name, std::string interface, std::int64_t now)
{
    QueueMember m;
    m.name = std::move(name);
    m.interface = std::move(interface);
    m.loginTime = now;
    return m;
}

// A caller who has waited `seconds` by `now`, having called a moment before.
void wait(QueueTable& queues, std::string_view queue, Call caller, std::int64_t joinedAt)
{
    caller.startedAt = std::min(caller.startedAt, joinedAt - 5);
    queues.join(queue, std::move(caller), joinedAt);
}

} // namespace

void addDemoQueues(QueueTable& queues, CallGenerator& generator, std::int64_t now)
{
    Queue sales;
    sales.name = "sales";
    sales.serviceLevel = 30;
    sales.members.push_back(member("Anna Agent", "Local/6001@queue-agents/n", now));
    QueueMember ben = member("Ben Agent", "Local/6002@queue-agents/n", now);
    ben.paused = true;
    ben.pausedReason = "Lunch";
    ben.lastPause = now;
    sales.members.push_back(std::move(ben));
    Queue support;
    support.name = "support";
    support.strategy = "rrmemory";
    support.members.push_back(member("Cleo Agent", "Local/6003@queue-agents/n", now));
    queues.addQueue(std::move(sales));
    queues.addQueue(std::move(support));
    wait(queues, "sales", generator.next(now), now - 75);
    wait(queues, "sales", generator.next(now), now - 20);
    wait(queues, "support", generator.next(now), now - 48);
}

void addGeneratedQueues(QueueTable& queues, CallGenerator& generator, std::size_t queueCount,
                        std::size_t members, std::size_t waiting, std::int64_t now)
{
    if (queueCount == 0)
        return;
    std::vector<Queue> made(queueCount);
    for (std::size_t i = 0; i < queueCount; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "queue-%03zu", i + 1);
        made[i].name = name;
        made[i].strategy = i % 2 == 0 ? "ringall" : "rrmemory";
        made[i].serviceLevel = i % 2 == 0 ? 30 : 60;
    }
    for (std::size_t i = 0; i < members; ++i) {
        char interface[48];
        std::snprintf(interface, sizeof interface, "PJSIP/agent-%04zu", i + 1);
        QueueMember m = member(generator.personName(), interface, now);
        m.paused = i % 10 == 9;
        m.pausedReason = m.paused ? "Break" : "";
        m.lastPause = m.paused ? now : 0;
        made[i % queueCount].members.push_back(std::move(m));
    }
    std::vector<std::string> names;
    for (Queue& q : made) {
        names.push_back(q.name);
        queues.addQueue(std::move(q));
    }
    for (std::size_t i = 0; i < waiting; ++i)
        wait(queues, names[i % queueCount], generator.next(now),
             now - static_cast<std::int64_t>(i * 37 % 180));
}

} // namespace pbxsim
