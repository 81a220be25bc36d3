#pragma once

#include "DurationFormat.h"
#include "ListingReader.h"
#include "StatusRecord.h"

#include <cstdint>
#include <locale>
#include <string>
#include <string_view>

namespace corvale {

class LiveCalls;
class WindowOps;

// Reads the client's own listings of channels (Status, CoreShowChannels): each record becomes a
// call list entry for the window or, in live mode, a listed call. A guarded listing hands it its
// genuine records as a ListingReader; an unguarded one is read by the manager client line by
// line into the same open record.
class ChannelListing : public ListingReader
{
public:
    ChannelListing(WindowOps& window, const std::locale& numbers);

    void followCalls(LiveCalls* calls) { live = calls; }
    // Set at the greeting: how records are read, and whether CoreShowChannel is a record.
    void setCurrentPbx(bool current) { bCurrent = current; }
    // Forgets the listings of the last connection.
    void reset();

    // The listing sent last, and the one whose answer came last: its records follow that answer.
    void sent(std::uint64_t ticket) { nLastStatus = ticket; }
    void answered(std::uint64_t ticket) { nListing = ticket; }
    // Live mode: whether the listing under way has lost none of its bytes, and may so remove the
    // calls it does not name.
    void setTrusted(bool whole) { bTrusted = whole; }

    StatusRecord& record() { return status; }
    const StatusRecord& record() const { return status; }
    void openRecord(bool coreShowChannel) { status.open(coreShowChannel, bCurrent); }
    void closeRecord();
    void complete();

    void recordBegins(std::string_view event) override;
    void recordField(Key which, std::string_view key, std::string_view value) override;
    void recordEnds(bool cut) override;
    void listingEnds() override { complete(); }

private:
    bool replaced() const;

    WindowOps& window;
    LiveCalls* live = nullptr;
    DurationFormat duration;
    StatusRecord status; // the open record
    std::string sEntry;  // reused to build each entry
    bool bCurrent = false;
    bool bTrusted = true;
    std::uint64_t nListing = 0;    // the listing whose answer came last
    std::uint64_t nLastStatus = 0; // the listing sent last
};

} // namespace corvale
