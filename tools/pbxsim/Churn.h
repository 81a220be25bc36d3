#pragma once

#include <chrono>
#include <cstdint>

namespace pbxsim {

// When calls come and go on a busy PBX: `perSecond` start and as many end every second, spread
// evenly over it, for `seconds` (0: until the simulator stops). Only the timing; what starts and
// ends is the caller's affair.
class Churn
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto Tick = std::chrono::milliseconds(10);

    void begin(std::uint32_t perSecond, std::uint32_t seconds, Clock::time_point now);
    void stop() { nPerSecond = 0; }
    bool active() const { return nPerSecond > 0; }
    // How many calls are due to start (and as many to end) since the last call; the churn stops
    // by itself once its time is over and every call of it is due.
    std::uint64_t due(Clock::time_point now);
    // When the next ones are due, for the poll loop to wake up.
    Clock::time_point nextDue() const { return lastAsked + Tick; }

private:
    std::uint32_t nPerSecond = 0;
    std::uint64_t total = 0; // 0: no end
    std::uint64_t done = 0;
    Clock::time_point started;
    Clock::time_point lastAsked;
};

} // namespace pbxsim
