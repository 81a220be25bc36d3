#pragma once

#include "FieldLexing.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace corvale {

class ListingReader;

// Tells a listing's genuine records from what a caller's empty line forged. A PBX sends some
// caller-chosen fields raw, so a name can hold an empty line, which ends its record's block by the
// protocol's own framing, and what follows it reads as a new, genuine-looking block until the
// rest of the real record closes it. So every listing carries a fresh random ActionID that the
// PBX repeats in each of its records and in its end; no caller can know it.
//
// Where the ActionID is each record's last line (Status, QueueStatus, QueueSummary), a block
// that ends without it was cut: it is a record cut short, and every block after it up to and
// including the next one that ends with the ActionID is not a record (that block is the forgery
// the rest of the real record closed). Where it follows each record's Event line
// (CoreShowChannels), a block that does not carry it there is not a record, and the record
// before it was cut short. The listing's end must carry the ActionID too.
class ListingGuard
{
public:
    enum class IdPlace : std::uint8_t
    {
        Last,
        First
    };
    // A listing: the event that ends it, and where its records carry the ActionID.
    struct Kind
    {
        std::string_view completeEvent;
        IdPlace place;
    };
    static constexpr Kind Status{"StatusComplete", IdPlace::Last};
    static constexpr Kind CoreShowChannels{"CoreShowChannelsComplete", IdPlace::First};
    static constexpr Kind QueueStatus{"QueueStatusComplete", IdPlace::Last};
    static constexpr Kind QueueSummary{"QueueSummaryComplete", IdPlace::Last};

    // An ActionID nobody can guess: 64 bits from the system's entropy.
    static std::string freshId();

    // The answer that opens a listing repeated its ActionID: from the next line on, the
    // listing's blocks come here.
    void begin(std::string_view actionId, const Kind& kind);
    // Forgets the listing under way: its connection is gone, or it is given up.
    void stop();
    // Some of the listing's bytes were lost, and the next line starts inside some block: what
    // follows is read as after a cut, up to a boundary the ActionID vouches for. A record that
    // was waiting for the next block to vouch for it is forgotten.
    void lost();
    bool active() const { return bActive; }

    // One line of the listing, the empty line ending each block included, split as for
    // lexField. Hands `reader` what is genuine. Returns false for a line that is not the
    // listing's: a genuine block that begins with "Response:" means the listing ended without
    // its end, and the caller reads that line as any other.
    bool line(std::string_view text, Key which, std::string_view key, std::string_view value,
              ListingReader& reader);

private:
    enum class Block : std::uint8_t
    {
        None,     // no line of the block yet
        Held,     // First: its Event line seen, its second line still to come
        Record,   // a genuine record, handed on
        Complete, // the listing's end, if it carries the ActionID as it must
        Other,    // genuine but no record: read to its end
        Dropped   // not genuine
    };
    void firstLine(Key which, std::string_view value, bool& listings);
    void secondLineFirst(bool isId, ListingReader& reader);
    void endBlock(ListingReader& reader);
    void endPending(bool cut, ListingReader& reader);
    bool isComplete(Key which, std::string_view value) const;

    std::string sId;
    Kind kind = Status;
    bool bActive = false;
    bool bPoisoned = false; // Last: inside the run that a cut began
    bool bPending = false;  // First: a record has ended; the next block tells whether whole
    Block block = Block::None;
    std::size_t nLines = 0;
    bool bIdSecond = false; // the block's second line is the ActionID
    bool bCarriesId = false;
    bool bLastWasId = false;
    bool bHeldEvent = false; // First: the block's first line was an Event line
    std::string sHeld;       // First: its value
};

} // namespace corvale
