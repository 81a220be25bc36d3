#pragma once

#include <cstdint>

namespace corvale {

// Which keys a block has set, for the rule that the first line of each key counts. A PBX does
// not escape every value a caller or the far end can set, so a value holding CR LF arrives as
// further lines inside the genuine block: they must not replace what the block has already said,
// above all its channel, which a hangup acts on. Status records and events keep the rule alike.
template <class Which> class FirstLines
{
public:
    void clear() { seen = 0; }
    // True for the first line of `which` since clear(): the one that counts.
    bool take(Which which)
    {
        const std::uint64_t bit = mask(which);
        if ((seen & bit) != 0)
            return false;
        seen |= bit;
        return true;
    }
    bool has(Which which) const { return (seen & mask(which)) != 0; }

private:
    static std::uint64_t mask(Which which)
    {
        return std::uint64_t{1} << static_cast<unsigned>(which);
    }

    std::uint64_t seen = 0;
};

} // namespace corvale
