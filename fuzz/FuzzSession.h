#pragma once

#include "ManagerClient.h"
#include "SessionChecks.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <locale>
#include <string>
#include <string_view>
#include <vector>

namespace corvale::fuzz {

// A window that writes down, in order, everything the client asks of it.
class RecordingWindow : public WindowOps
{
public:
    std::string user;
    std::string secret;
    mutable int secretAsked = 0;
    mutable std::string lastKey;     // the key of the last challenge the client asked about
    std::vector<std::string> events; // one line of text per request, comparable between runs
    std::size_t nCalls = 0;
    // Runs inside showMessage, as a modal message's event loop would deliver data.
    std::function<void()> duringMessage;

    std::string userName() const override { return user; }
    std::string password() const override
    {
        ++secretAsked;
        return secret;
    }
    // Stands in for the MD5: 32 hex digits that differ with the challenge.
    std::string challengeKey(std::string_view challenge) const override;
    std::size_t callCount() const override { return nCalls; }
    void addCall(std::string_view entry, const EntryParts& parts) override;
    void showMessage(std::string_view text) override;
    void endProgram() override;
    void send(std::string_view bytes) override;
    void actionAnswered(const Answer& answer) override;
    void listingComplete() override { events.emplace_back("complete"); }
    void shutdownAnnounced() override { events.emplace_back("shutdown"); }

    // Every entry with where its parts end, in order; kept apart from the events.
    std::vector<std::pair<std::string, EntryParts>> entries;
};

// Listing ActionIDs for a client under test: the same sequence for every client made alike, so
// that clients compared with each other send the same bytes.
std::function<std::string()> countingIds();

// Whether a RecordingWindow event reports the answer to a challenge.
bool isChallengeAnswerEvent(std::string_view event);

// Plays one fuzz input as a conversation: received bytes cut into chunks the input chooses, a
// nested delivery inside a message now and then, and the operator's Refresh and Disconnect in
// between. The client under test takes the bytes through dataArrival; a second client takes the
// same lines one by one through ParseIncoming, cut by a plain framer written here, so each
// request can be traced to the line that caused it. After every step the two must have asked the
// same of their windows, and every rule of SessionChecks must hold. A third client takes the same
// lines but those that repeat a record's fields (RecordRepeats), and must ask after each line
// exactly what the second one asks.
class FuzzSession
{
public:
    explicit FuzzSession(const std::locale& numbers);

    // Returns what went wrong first, or an empty string.
    std::string run(const std::uint8_t* data, std::size_t size);

private:
    void setLogin(std::string user, std::string secret, bool challenge);
    void deliver(std::string_view chunk, std::string nested);
    void hangup(const std::string& channel);
    void refresh();
    void interpretReferenceLines(std::string_view bytes);
    void compareAfterStep();
    void fail(std::string what);

    RecordingWindow testedWindow;
    RecordingWindow referenceWindow;
    RecordingWindow firstLinesWindow;
    ManagerClient tested;
    ManagerClient reference;
    ManagerClient firstLines; // never sees a line that repeats a field of its record
    RecordRepeats repeats;
    std::string repeatsSince; // the repeated lines since the clients last did something

    std::string referencePending; // bytes since the last CR LF, for the plain framer
    std::size_t referenceDropped = 0;
    std::string nestedBytes; // delivered inside the next message box, once
    std::string nestedDelivered;
    std::string failure;
    bool bChallenge = false; // the three clients log in with the challenge
};

} // namespace corvale::fuzz
