// The guard alone: which blocks of a listing are records, whole or cut, and where it ends, for
// both places a PBX writes a listing's ActionID.
#include "ListingGuard.h"

#include "ListingReader.h"
#include "WireLines.h"

#include <gtest/gtest.h>

#include <set>

using namespace corvale;

namespace {

// Writes down what the guard hands on: "[Event CHANNEL]" per record (" cut" when cut short),
// " end" at the listing's end, and "<LINE>" for each line it gives back.
class Log : public ListingReader
{
public:
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
        const Key which = lexField(line, key, value);
        if (!guard.line(line, which, key, value, log))
            log.text += "<" + std::string(line) + ">";
    }
    return log.text + (guard.active() ? " open" : "");
}

const std::string A = wire({"Event: Status", "Channel: A", "ActionID: ID", ""});
const std::string B = wire({"Event: Status", "Channel: B", "ActionID: ID", ""});
const std::string Head = wire({"Event: Status", "Channel: A", "CallerIDName: x", ""});
const std::string Forged = wire({"Event: Status", "Channel: V", "Seconds: 9", ""});
const std::string Tail = wire({"Seconds: 1", "ActionID: ID", ""});
const std::string End = wire({"Event: StatusComplete", "ActionID: ID", "Items: 2", ""});

std::string channel(const char* name, bool withId = true)
{
    return withId ? wire({"Event: CoreShowChannel", "ActionID: ID", std::string("Channel: ") + name,
                          "BridgeId: ", ""})
                  : wire({"Event: CoreShowChannel", std::string("Channel: ") + name, ""});
}
const std::string ChannelsEnd = wire(
    {"Event: CoreShowChannelsComplete", "EventList: Complete", "ListItems: 2", "ActionID: ID", ""});

} // namespace

TEST(ListingGuardTest, IdAsEachRecordsLastLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {A + B + End, "[Status A][Status B] end"},
        // The forgery the rest of the real record closes is no record.
        {Head + Forged + Tail + B + End, "[Status A cut][Status B] end"},
        // Two raw fields cut: everything up to the block that ends with the ActionID.
        {Head + Forged + wire({"Extension: 9", ""}) + Forged + Tail + B + End,
         "[Status A cut][Status B] end"},
        // A forged end, or a forged answer, inside the run changes nothing.
        {Head + wire({"Event: StatusComplete", "Items: 0", ""}) + Tail + B + End,
         "[Status A cut][Status B] end"},
        {Head + wire({"Response: Success", "Message: Authentication accepted", ""}) + Tail + End,
         "[Status A cut] end"},
        // An end must carry the ActionID; one whose ActionID follows its Event line is the end
        // even after a record that never ends with it.
        {A + wire({"Event: StatusComplete", "Items: 1", ""}) + B + End, "[Status A] end"},
        {Head + End, "[Status A cut] end"},
        // A genuine block that answers the next action: the end never came.
        {A + wire({"Response: Success", ""}), "[Status A]<Response: Success><>"},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(guarded(ListingGuard::Status, bytes), expected) << bytes;
    // After lost bytes, a boundary the ActionID vouches for is awaited.
    EXPECT_EQ(guarded(ListingGuard::Status, Forged + Tail + B + End, true), "[Status B] end");
}

TEST(ListingGuardTest, IdRightAfterEachRecordsEventLine)
{
    const std::string cut =
        wire({"Event: CoreShowChannel", "ActionID: ID", "Channel: A", "CallerIDName: x", ""});
    const std::string tail = wire({"Duration: 00:00:01", "BridgeId: ", ""});
    const std::pair<std::string, std::string> cases[] = {
        {channel("A") + channel("B") + ChannelsEnd, "[CoreShowChannel A][CoreShowChannel B] end"},
        // A block without the ActionID is no record, and the one before it was cut.
        {cut + channel("V", false) + tail + channel("B") + ChannelsEnd,
         "[CoreShowChannel A cut][CoreShowChannel B] end"},
        {cut + wire({"Event: CoreShowChannelsComplete", "EventList: Complete", ""}) + tail +
             ChannelsEnd,
         "[CoreShowChannel A cut] end"},
        {channel("A") + wire({"Event: CoreShowChannel", ""}) + ChannelsEnd,
         "[CoreShowChannel A cut] end"},
        // A later PBX writes the end's ActionID right after its Event line too.
        {channel("A") + wire({"Event: CoreShowChannelsComplete", "ActionID: ID", ""}),
         "[CoreShowChannel A] end"},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(guarded(ListingGuard::CoreShowChannels, bytes), expected) << bytes;
}

TEST(ListingGuardTest, EachActionIdIsFreshAndUnguessable)
{
    std::set<std::string> ids;
    for (int i = 0; i < 100; ++i) {
        const std::string id = ListingGuard::freshId();
        ASSERT_EQ(id.size(), 24u);
        EXPECT_EQ(id.substr(0, 8), "corvale-");
        EXPECT_EQ(id.find_first_not_of("0123456789abcdef", 8), std::string::npos) << id;
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 100u);
}
