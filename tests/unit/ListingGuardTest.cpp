// The guard alone: which blocks of a listing are records, whole or cut, and where it ends, for
// both places a PBX writes a listing's ActionID.
#include "ListingGuard.h"

#include "ListingReader.h"
#include "WireLines.h"

#include <gtest/gtest.h>

#include <set>

using namespace corvale;

namespace {

// "[Event CHANNEL]" per record (" cut]" when cut short), " end" at the listing's end, and
// "<LINE>" for each line the guard gives back.
struct Log : ListingReader
{
    std::string text;
    void recordBegins(std::string_view event) override { text += "[" + std::string(event); }
    void recordField(Key which, std::string_view, std::string_view value) override
    {
        if (which == Key::Channel)
            text += " " + std::string(value);
    }
    void recordEnds(bool cut) override { text += cut ? " cut]" : "]"; }
    void listingEnds() override { text += " end"; }
};

std::string guarded(const ListingGuard::Kind& kind, const std::string& bytes, bool lost = false)
{
    ListingGuard guard;
    Log log;
    guard.begin("ID", kind);
    if (lost)
        guard.lost();
    for (std::size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        const std::string_view line = std::string_view(bytes).substr(at, end - at);
        std::string_view key;
        std::string_view value;
        if (!guard.line(line, lexField(line, key, value), key, value, log))
            log.text += "<" + std::string(line) + ">";
    }
    return log.text + (guard.active() ? " open" : "");
}

std::string block(const std::string& event, const std::string& channel, const std::string& last)
{
    return wire({"Event: " + event, "Channel: " + channel, last, ""});
}

} // namespace

TEST(ListingGuardTest, RecordsWholeOrCutAndTheListingsEnd)
{
    const std::string id = "ActionID: ID";
    const std::string a = block("Status", "A", id), b = block("Status", "B", id);
    const std::string head = block("Status", "A", "CallerIDName: x");
    const std::string forged = block("Status", "V", "Seconds: 9");
    const std::string tail = wire({"Seconds: 1", id, ""});
    const std::string end = wire({"Event: StatusComplete", id, "Items: 2", ""});
    const auto channel = [](const std::string& name, bool withId = true) {
        return wire({"Event: CoreShowChannel", withId ? "ActionID: ID" : "Uniqueid: 1",
                     "Channel: " + name, ""});
    };
    const std::string channelsEnd =
        wire({"Event: CoreShowChannelsComplete", "ListItems: 2", id, ""});
    const auto* s = &ListingGuard::Status;
    const auto* c = &ListingGuard::CoreShowChannels;
    const struct
    {
        const ListingGuard::Kind* kind;
        std::string bytes;
        const char* expected;
    } cases[] = {
        {s, a + b + end, "[Status A][Status B] end"},
        // The forgery the rest of the real record closes is no record, nor is what two cuts of
        // one record leave, nor a forged end inside the run.
        {s, head + forged + tail + b + end, "[Status A cut][Status B] end"},
        {s, head + forged + wire({"Extension: 9", ""}) + forged + tail + end, "[Status A cut] end"},
        {s, head + wire({"Event: StatusComplete", ""}) + tail + b + end,
         "[Status A cut][Status B] end"},
        // An end must carry the ActionID; one that has it right after its Event line is the end
        // even after a record that never ended with it.
        {s, a + wire({"Event: StatusComplete", "Items: 1", ""}) + b + end, "[Status A] end"},
        {s, head + end, "[Status A cut] end"},
        // A genuine block that answers the next action: the end never came.
        {s, a + wire({"Response: Success", ""}), "[Status A]<Response: Success><>"},
        {c, channel("A") + channel("B") + channelsEnd,
         "[CoreShowChannel A][CoreShowChannel B] end"},
        // Without the ActionID after its Event line a block is none, and the one before was cut.
        {c, channel("A") + channel("V", false) + tail + channel("B") + channelsEnd,
         "[CoreShowChannel A cut][CoreShowChannel B] end"},
        {c, channel("A") + wire({"Event: CoreShowChannelsComplete", ""}) + tail + channelsEnd,
         "[CoreShowChannel A cut] end"},
        {c, channel("A") + wire({"Event: CoreShowChannelsComplete", id, ""}),
         "[CoreShowChannel A] end"},
    };
    for (const auto& [kind, bytes, expected] : cases)
        EXPECT_EQ(guarded(*kind, bytes), expected) << bytes;
    // After lost bytes, a boundary the ActionID vouches for is awaited.
    EXPECT_EQ(guarded(*s, forged + tail + b + end, true), "[Status B] end");
}

TEST(ListingGuardTest, EachActionIdIsFreshAndUnguessable)
{
    std::set<std::string> ids;
    for (int i = 0; i < 100; ++i)
        ids.insert(ListingGuard::freshId());
    EXPECT_EQ(ids.size(), 100u);
    for (const std::string& id : ids)
        EXPECT_TRUE(id.size() == 24 && id.rfind("corvale-", 0) == 0 &&
                    id.find_first_not_of("0123456789abcdef", 8) == std::string::npos)
            << id;
}
