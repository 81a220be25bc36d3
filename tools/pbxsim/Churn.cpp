#include "Churn.h"

namespace pbxsim {

void Churn::begin(std::uint32_t perSecond, std::uint32_t seconds, Clock::time_point now)
{
    nPerSecond = perSecond;
    total = std::uint64_t{perSecond} * seconds;
    done = 0;
    started = now;
    lastAsked = now;
}

std::uint64_t Churn::due(Clock::time_point now)
{
    if (!active())
        return 0;
    lastAsked = now;
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - started);
    // Counted from the start, not added up per tick, so that late wake-ups do not lose calls.
    std::uint64_t byNow =
        elapsed.count() <= 0 ? 0
                             : static_cast<std::uint64_t>(elapsed.count()) * nPerSecond / 1'000'000;
    if (total != 0 && byNow >= total) {
        byNow = total;
        nPerSecond = 0;
    }
    const std::uint64_t count = byNow - done;
    done = byNow;
    return count;
}

} // namespace pbxsim
