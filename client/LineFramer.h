#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace corvale {

// Cuts a byte stream into CR LF terminated lines. A lone CR or LF is an ordinary byte.
// Lines that lie whole inside a chunk are handed on as views into that chunk, so the common
// case copies nothing; only the unfinished line at a chunk's end is kept, in sBuffer.
class LineFramer
{
public:
    // Longest line handed on; a longer one is dropped up to and including its CR LF, so one
    // runaway line can neither grow memory nor swallow the lines after it.
    static constexpr std::size_t MaxLine = 32764;

    // Calls onLine(std::string_view) for each complete line, in order. onLine returns false to
    // stop at once: the rest of the chunk is then thrown away. Returns false when stopped.
    template <class OnLine>
    bool feed(std::string_view data, OnLine&& onLine);

    // Forgets the unfinished line, as when the bytes after it were lost.
    void reset()
    {
        sBuffer.clear();
        bDiscarding = false;
        bDiscardedCR = false;
    }

    const std::string& buffer() const { return sBuffer; }
    std::size_t droppedLines() const { return nDropped; }

    // Position of the first CR LF at or after `from`, or npos.
    static std::size_t findLineEnd(std::string_view data, std::size_t from);

private:
    void keepPartial(std::string_view tail);

    std::string sBuffer;      // the start of one unfinished line; never holds a CR LF
    bool bDiscarding = false; // inside an over-long line, dropping bytes until its CR LF
    bool bDiscardedCR = false;
    std::size_t nDropped = 0;
};

inline std::size_t LineFramer::findLineEnd(std::string_view data, std::size_t from)
{
    const char* p = data.data();
    const std::size_t n = data.size();
    while (from < n) {
        const void* cr = std::memchr(p + from, '\r', n - from);
        if (cr == nullptr)
            return std::string_view::npos;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(cr) - p);
        if (at + 1 >= n)
            return std::string_view::npos;
        if (p[at + 1] == '\n')
            return at;
        from = at + 1;
    }
    return std::string_view::npos;
}

template <class OnLine>
bool LineFramer::feed(std::string_view data, OnLine&& onLine)
{
    if (data.empty())
        return true;
    std::size_t pos = 0;

    if (bDiscarding) {
        if (bDiscardedCR && data.front() == '\n') {
            pos = 1;
        } else {
            const std::size_t end = findLineEnd(data, 0);
            if (end == std::string_view::npos) {
                bDiscardedCR = data.back() == '\r';
                return true;
            }
            pos = end + 2;
        }
        bDiscarding = false;
        ++nDropped;
    } else if (!sBuffer.empty()) {
        // Finish the line that an earlier chunk began.
        bool whole = true;
        if (sBuffer.back() == '\r' && data.front() == '\n') {
            sBuffer.pop_back();
            pos = 1;
        } else {
            const std::size_t end = findLineEnd(data, 0);
            if (end == std::string_view::npos) {
                keepPartial(data);
                return true;
            }
            pos = end + 2;
            whole = sBuffer.size() + end <= MaxLine;
            if (whole)
                sBuffer.append(data.data(), end);
            else
                ++nDropped;
        }
        // The buffer is emptied before the line is interpreted, so whatever runs inside onLine
        // finds it consistent.
        std::string line = std::move(sBuffer);
        sBuffer.clear();
        if (whole && !onLine(std::string_view(line)))
            return false;
    }

    while (pos < data.size()) {
        const std::size_t end = findLineEnd(data, pos);
        if (end == std::string_view::npos)
            break;
        if (end - pos <= MaxLine) {
            if (!onLine(data.substr(pos, end - pos)))
                return false;
        } else {
            ++nDropped;
        }
        pos = end + 2;
    }
    if (pos < data.size())
        keepPartial(data.substr(pos));
    return true;
}

inline void LineFramer::keepPartial(std::string_view tail)
{
    const bool endsInCR = tail.back() == '\r';
    // A trailing CR may yet turn out to be half of the line's CR LF.
    const std::size_t lineSoFar = sBuffer.size() + tail.size() - (endsInCR ? 1 : 0);
    if (lineSoFar > MaxLine) {
        sBuffer.clear();
        sBuffer.shrink_to_fit();
        bDiscarding = true;
        bDiscardedCR = endsInCR;
        return;
    }
    sBuffer.append(tail);
}

} // namespace corvale
