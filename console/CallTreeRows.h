#pragma once

#include "CallTreeSource.h"

#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace corvale {
struct Conversation;
} // namespace corvale

// The call tree's sources in the order of their rows, and where each one's rows start. The proxy
// and the view ask for rows far more often than they change, so the starts are kept, and made
// again when next asked after rowsMoved(); the model keeps only the drawing.
class CallTreeRows
{
public:
    using Sources = std::vector<std::unique_ptr<CallTreeSource>>;

    // After the others; it is given its serial.
    void add(std::unique_ptr<CallTreeSource> source);
    void remove(const CallTreeSource& source);
    Sources::const_iterator begin() const { return sources.begin(); }
    Sources::const_iterator end() const { return sources.end(); }
    CallTreeSource* withKey(int key) const;
    const CallTreeSource* withSerial(quint64 serial) const;
    const CallTreeSource* of(const corvale::Conversation& conversation) const;

    // The source a top-level row is in, and the row within it.
    std::pair<const CallTreeSource*, std::size_t> at(int row) const;
    // Where a source's rows start.
    int offsetOf(const CallTreeSource& source) const;
    std::size_t rowCount() const { return starts().back(); }
    // A source's row count has changed.
    void rowsMoved() { startsStale = true; }

private:
    const std::vector<std::size_t>& starts() const;

    Sources sources; // in the order of their rows
    // Where each source's rows start, and after the last the row count.
    mutable std::vector<std::size_t> rowStarts;
    mutable bool startsStale = true;
    quint64 nextSerial = 1;
};
