#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvale {

// Bytes that arrive while a line is being interpreted. A modal message opened from inside a line
// runs the event loop, which can deliver more data; interpreted at once, its lines would come
// before the rest of the outer chunk, so they wait for the outer run to finish. The message may
// stay open for as long as the operator likes, so the wait is bounded: past it, what waits and
// whatever follows during the run is dropped.
class DeferredBytes
{
public:
    explicit DeferredBytes(std::size_t limit)
        : nLimit(limit)
    {}

    void add(std::string_view bytes);
    // What waits, emptying it.
    std::string take()
    {
        std::string more = std::move(sBytes);
        sBytes.clear();
        return more;
    }
    bool empty() const { return sBytes.empty(); }
    std::size_t size() const { return sBytes.size(); }
    void clear() { sBytes.clear(); }
    // Bytes were dropped during this run; resume() once the stream is picked up again.
    bool lost() const { return bLost; }
    void resume() { bLost = false; }
    // How many runs dropped bytes.
    std::size_t losses() const { return nLost; }

private:
    std::size_t nLimit;
    std::string sBytes;
    bool bLost = false;
    std::size_t nLost = 0;
};

} // namespace corvale
