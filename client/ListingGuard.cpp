#include "ListingGuard.h"

#include "ListingReader.h"

#include <cstdio>
#include <random>

namespace corvale {

std::string ListingGuard::freshId()
{
    std::random_device entropy;
    const std::uint64_t bits = (std::uint64_t{entropy()} << 32) ^ entropy();
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(bits));
    return std::string("corvale-") + hex;
}

void ListingGuard::begin(std::string_view actionId, const Kind& listing)
{
    stop();
    sId.assign(actionId);
    kind = listing;
    bActive = true;
}

void ListingGuard::stop()
{
    bActive = false;
    bPoisoned = false;
    bPending = false;
    block = Block::None;
    nLines = 0;
    bIdSecond = false;
    bCarriesId = false;
    bLastWasId = false;
}

void ListingGuard::lost()
{
    if (!bActive)
        return;
    const Kind listing = kind;
    begin(std::string(sId), listing);
    bPoisoned = true;
}

bool ListingGuard::isComplete(Key which, std::string_view value) const
{
    return which == Key::Event && value == kind.completeEvent;
}

bool ListingGuard::line(std::string_view text, Key which, std::string_view key,
                        std::string_view value, ListingReader& reader)
{
    if (!bActive)
        return false;
    if (text.empty()) {
        endBlock(reader);
        return true;
    }
    const bool isId = which == Key::ActionID && value == sId;
    ++nLines;
    bCarriesId = bCarriesId || isId;
    bLastWasId = isId;
    if (nLines == 1) {
        bool listings = true;
        firstLine(which, value, listings);
        if (block == Block::Record)
            reader.recordBegins(value);
        return listings;
    }
    if (nLines == 2) {
        bIdSecond = isId;
        if (kind.place == IdPlace::First) {
            secondLineFirst(isId, reader);
            return true;
        }
    }
    if (block == Block::Record)
        reader.recordField(which, key, value);
    return true;
}

void ListingGuard::firstLine(Key which, std::string_view value, bool& listings)
{
    if (kind.place == IdPlace::First) {
        // Whether this block is genuine is told by its second line.
        bHeldEvent = which == Key::Event;
        if (bHeldEvent)
            sHeld.assign(value);
        block = Block::Held;
    } else if (bPoisoned) {
        block = isComplete(which, value) ? Block::Complete : Block::Dropped;
    } else if (which == Key::Response) {
        // A genuine block that answers the next action: this listing's end never came.
        stop();
        listings = false;
    } else if (isComplete(which, value)) {
        block = Block::Complete;
    } else {
        block = which == Key::Event ? Block::Record : Block::Other;
    }
}

void ListingGuard::secondLineFirst(bool isId, ListingReader& reader)
{
    const bool complete = bHeldEvent && sHeld == kind.completeEvent;
    if (isId) {
        // A genuine block: the one before it ended where the PBX ended it.
        endPending(false, reader);
        block = complete ? Block::Complete : bHeldEvent ? Block::Record : Block::Other;
        if (block == Block::Record)
            reader.recordBegins(sHeld);
    } else if (complete) {
        block = Block::Complete; // an end that carries its ActionID later on
    } else {
        endPending(true, reader);
        block = Block::Dropped;
    }
}

void ListingGuard::endPending(bool cut, ListingReader& reader)
{
    if (!bPending)
        return;
    bPending = false;
    reader.recordEnds(cut);
}

void ListingGuard::endBlock(ListingReader& reader)
{
    if (nLines == 0)
        return;
    const Block was = block;
    const bool idSecond = bIdSecond;
    const bool carries = bCarriesId;
    const bool endsWithId = bLastWasId;
    block = Block::None;
    nLines = 0;
    bIdSecond = false;
    bCarriesId = false;
    bLastWasId = false;

    bool ends = false;
    if (kind.place == IdPlace::First) {
        if (was == Block::Record) {
            bPending = true;
        } else if (was == Block::Held || was == Block::Complete) {
            // A block of one line cannot carry the ActionID; an end must.
            ends = was == Block::Complete && carries;
            endPending(!ends, reader);
        }
    } else if (was == Block::Complete && (idSecond || (!bPoisoned && carries))) {
        // An end whose ActionID follows its Event line is genuine even inside a cut run: the
        // line after a raw field's text is never the ActionID.
        ends = true;
    } else if (bPoisoned) {
        bPoisoned = !endsWithId;
    } else {
        if (was == Block::Record)
            reader.recordEnds(!endsWithId);
        bPoisoned = !endsWithId;
    }
    if (ends) {
        stop();
        reader.listingEnds();
    }
}

} // namespace corvale
