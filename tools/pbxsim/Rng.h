#pragma once

#include <cstdint>

namespace pbxsim {

// splitmix64: the standard distributions differ between library implementations, this does not.
class Rng
{
public:
    explicit Rng(std::uint64_t seed)
        : state(seed)
    {}
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }

private:
    std::uint64_t state;
};

} // namespace pbxsim
