// The client reads the simulator's listings exactly as it reads a real PBX's.
#include "Listing.h"
#include "ManagerClient.h"
#include "RecordedCalls.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace pbxsim;

namespace {

class ListWindow : public corvale::WindowOps
{
public:
    std::vector<std::string> calls;
    std::string userName() const override { return "admin"; }
    std::string password() const override { return {}; }
    std::size_t callCount() const override { return calls.size(); }
    void addCall(std::string_view entry, const corvale::EntryParts&) override
    {
        calls.emplace_back(entry);
    }
    void showMessage(std::string_view) override {}
    void endProgram() override {}
    void send(std::string_view) override {}
};

std::vector<std::string> entries(std::string_view greeting, std::string_view listing)
{
    ListWindow window;
    corvale::ManagerClient client(window, std::locale::classic());
    client.dataArrival(greeting);
    client.dataArrival(listing);
    EXPECT_FALSE(client.ended());
    return window.calls;
}

const std::string Current = "Asterisk Call Manager/13.0.0\r\n";
const std::string Old = "Asterisk Call Manager/1.1\r\n";

} // namespace

TEST(ClientAgreementTest, SimulatedCurrentListingGivesTheRecordedEntries)
{
    std::ifstream in(std::string(CORVALE_FIXTURES_DIR) + "/05_status_calls.recv.bin",
                     std::ios::binary);
    const std::string recorded{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GT(recorded.size(), 85u);

    const auto fromRecording = entries(Current, recorded.substr(85));
    ASSERT_EQ(fromRecording.size(), 12u);
    EXPECT_EQ(
        entries(Current, statusAnswer(simtest::recordedCalls(), Dialect::Modern, simtest::Now)),
        fromRecording);
}

TEST(ClientAgreementTest, BothDialectsGiveTheSameEntries)
{
    std::vector<Call> calls = generateCalls(200, 42, simtest::Now);
    const std::vector<Call> hostile = hostileCalls(simtest::Now);
    calls.insert(calls.end(), hostile.begin(), hostile.end());

    const auto old = entries(Old, statusAnswer(calls, Dialect::Legacy, simtest::Now));
    const auto current = entries(Current, statusAnswer(calls, Dialect::Modern, simtest::Now));
    ASSERT_EQ(old.size(), calls.size());
    ASSERT_EQ(current.size(), calls.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        // A current PBX escapes control characters in names, and the client shows them as
        // spaces; an old one sends them raw.
        std::string expected = old[i];
        const std::size_t open = expected.find(" <");
        const std::size_t close = expected.rfind("> To: ");
        for (std::size_t c = open + 2; c < close; ++c)
            if (static_cast<unsigned char>(expected[c]) < 0x20)
                expected[c] = ' ';
        EXPECT_EQ(current[i], expected) << i;
        EXPECT_EQ(old[i].substr(0, calls[i].channel.size() + 1), calls[i].channel + " ");
    }
}
