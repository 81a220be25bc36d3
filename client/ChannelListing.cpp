#include "ChannelListing.h"

#include "LiveCalls.h"
#include "WindowOps.h"
#include "Wire.h"

namespace corvale {

ChannelListing::ChannelListing(WindowOps& windowOps, const std::locale& numbers)
    : window(windowOps)
    , duration(numbers)
{}

void ChannelListing::reset()
{
    status.close();
    nListing = 0;
    nLastStatus = 0;
    bTrusted = true;
}

void ChannelListing::recordBegins(std::string_view event)
{
    if (event == "Status" || (event == "CoreShowChannel" && live != nullptr && bCurrent))
        openRecord(event != "Status");
}

void ChannelListing::recordField(Key which, std::string_view /*key*/, std::string_view value)
{
    // The whole block is the record: an older PBX's record too runs on past its Uniqueid.
    if (status.isOpen())
        status.field(which, value);
}

void ChannelListing::recordEnds(bool cut)
{
    if (!status.isOpen())
        return;
    if (cut)
        status.cut();
    closeRecord();
}

void ChannelListing::closeRecord()
{
    status.close();
    // A record cut short is still listed, with what it said before the cut and nothing else (its
    // minutes unknown): the channel is up, and a caller must not be able to hide a call from the
    // operator, nor leave standing what a forged event said of it.
    if (live != nullptr) {
        live->listedCall(status.channel(), status.fields(), status.seconds(), status.uniqueid());
        return;
    }
    if (replaced())
        return;
    sEntry.clear();
    const EntryParts parts = appendEntryStart(sEntry, status.channel(), status.number(),
                                              status.name(), status.extension());
    if (status.seconds().empty() || !duration.appendMinutes(status.seconds(), sEntry))
        sEntry += UnknownMinutes;
    sEntry += EntryEnd;
    window.addCall(sEntry, parts);
}

void ChannelListing::complete()
{
    if (live != nullptr) {
        live->listingComplete(bTrusted);
    } else if (!replaced()) {
        if (window.callCount() == 0)
            window.addCall(NoCallsEntry, EntryParts{});
        window.listingComplete();
    }
}

bool ChannelListing::replaced() const
{
    // A PBX answers actions in order and sends a listing's records right after its answer, so
    // the records now arriving belong to the last listing answered. Once a later one has gone
    // out (Refresh List cleared the list for it), they describe a list nobody is shown any more.
    return nListing != 0 && nLastStatus > nListing;
}

} // namespace corvale
