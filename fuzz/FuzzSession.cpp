#include "FuzzSession.h"

#include "SessionChecks.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

namespace corvale::fuzz {

namespace {

// Long runs of one byte reach the over-long line handling without needing huge inputs; this caps
// what one input may add that way, so memory and time per input stay small.
constexpr std::size_t RunBudget = 1 << 20;

constexpr std::size_t ChunkLimits[] = {1, 2, 3, 5, 8, 16, 31, 64, 127, 256, 1024, 4096, 65536};

} // namespace

void RecordingWindow::addCall(std::string_view entry, const EntryParts& parts)
{
    ++nCalls;
    events.push_back("add " + std::string(entry));
    entries.emplace_back(entry, parts);
}

std::function<std::string()> countingIds()
{
    return [n = 0]() mutable { return "fuzz-" + std::to_string(++n); };
}

std::string RecordingWindow::challengeKey(std::string_view challenge) const
{
    std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
    for (const char c : challenge) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    static constexpr char Hex[] = "0123456789abcdef";
    lastKey.assign(32, '0');
    for (std::size_t i = 0; i < 16; ++i)
        lastKey[i] = Hex[(hash >> (4 * i)) & 15];
    return lastKey;
}

void RecordingWindow::showMessage(std::string_view text)
{
    events.push_back("message " + std::string(text));
    if (duringMessage)
        duringMessage();
}

void RecordingWindow::endProgram()
{
    events.emplace_back("end");
}

void RecordingWindow::send(std::string_view bytes)
{
    events.push_back("send " + std::string(bytes));
}

bool isChallengeAnswerEvent(std::string_view event)
{
    const std::string head = "answer ";
    const std::size_t kind = event.find(' ', head.size());
    return event.substr(0, head.size()) == head && kind != std::string_view::npos &&
           event.substr(kind + 1, 2) ==
               std::to_string(static_cast<int>(ActionKind::Challenge)) + " ";
}

void RecordingWindow::actionAnswered(const Answer& answer)
{
    events.push_back("answer " + std::to_string(answer.ticket) + " " +
                     std::to_string(static_cast<int>(answer.kind)) + " " + answer.response + "|" +
                     answer.message);
}

FuzzSession::FuzzSession(const std::locale& numbers)
    : tested(testedWindow, numbers)
    , reference(referenceWindow, numbers)
    , firstLines(firstLinesWindow, numbers)
{
    tested.setListingIds(countingIds());
    reference.setListingIds(countingIds());
    firstLines.setListingIds(countingIds());
    testedWindow.duringMessage = [this] {
        if (nestedBytes.empty())
            return;
        const std::string bytes = std::move(nestedBytes);
        nestedBytes.clear();
        nestedDelivered += bytes;
        tested.dataArrival(bytes);
    };
}

std::string FuzzSession::run(const std::uint8_t* data, std::size_t size)
{
    // The input's front is mostly received bytes and its back mostly choices, so a recorded
    // conversation used as a seed arrives largely intact.
    FuzzedDataProvider in(data, size);
    const auto setup = in.ConsumeIntegral<std::uint8_t>();
    const bool challenge = (setup & 4) != 0;
    if ((setup & 3) == 3) {
        std::string user = in.ConsumeRandomLengthString(48);
        std::string secret = in.ConsumeRandomLengthString(48);
        setLogin(std::move(user), std::move(secret), challenge);
    } else {
        setLogin("admin", "secret", challenge);
    }

    std::size_t runBytes = 0;
    while (failure.empty() && in.remaining_bytes() > 0) {
        const auto op = in.ConsumeIntegral<std::uint8_t>();
        switch (op % 20) {
        case 0:
            hangup(in.ConsumeRandomLengthString(64));
            break;
        case 1:
            refresh();
            break;
        case 2: {
            // A line at, just under or just over the length limit, or a long run of any length.
            const bool nearLimit = (op & 0x80) != 0;
            std::size_t n =
                nearLimit ? LineFramer::MaxLine - 3 + in.ConsumeIntegralInRange<std::size_t>(0, 6)
                          : in.ConsumeIntegralInRange<std::size_t>(1, 3 * LineFramer::MaxLine);
            if (runBytes + n > RunBudget)
                break;
            runBytes += n;
            std::string run(n, in.ConsumeIntegral<char>());
            if ((op & 0x40) != 0)
                run += "\r\n";
            deliver(run, {});
            break;
        }
        case 3: {
            std::string nested = in.ConsumeRandomLengthString(256);
            const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(1, 512);
            deliver(in.ConsumeBytesAsString(n), std::move(nested));
            break;
        }
        default: {
            const std::size_t limit = ChunkLimits[op % std::size(ChunkLimits)];
            const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(1, limit);
            deliver(in.ConsumeBytesAsString(n), {});
            break;
        }
        }
    }
    return failure;
}

void FuzzSession::setLogin(std::string user, std::string secret, bool challenge)
{
    bChallenge = challenge;
    if (challenge) {
        tested.setAuth(Auth::Md5);
        reference.setAuth(Auth::Md5);
        firstLines.setAuth(Auth::Md5);
    }
    testedWindow.user = user;
    testedWindow.secret = secret;
    firstLinesWindow.user = user;
    firstLinesWindow.secret = secret;
    referenceWindow.user = std::move(user);
    referenceWindow.secret = std::move(secret);
}

void FuzzSession::deliver(std::string_view chunk, std::string nested)
{
    nestedBytes = std::move(nested);
    nestedDelivered.clear();
    tested.dataArrival(chunk);
    nestedBytes.clear();

    // Bytes that came in during a message are handled after the chunk they interrupted.
    interpretReferenceLines(chunk);
    interpretReferenceLines(nestedDelivered);
    if (failure.empty())
        compareAfterStep();
}

void FuzzSession::hangup(const std::string& channel)
{
    const auto testedTicket = tested.sendHangup(channel);
    const auto referenceTicket = reference.sendHangup(channel);
    firstLines.sendHangup(channel);
    if (testedTicket != referenceTicket)
        fail("the two clients gave different hangup tickets");
    if (isSafeValue(channel)) {
        if (!testedTicket)
            fail("a hangup of a safe channel was refused");
        if (testedWindow.events.size() != 1)
            fail("a hangup sent " + std::to_string(testedWindow.events.size()) + " requests");
    } else if (!testedWindow.events.empty() || testedTicket) {
        fail("a hangup of an unsafe channel was accepted");
    }
    for (const std::string& event : testedWindow.events)
        if (event.substr(0, 5) != "send ")
            fail("a hangup asked the window for: " + event);
        else if (auto broken = checkHangupAction(std::string_view(event).substr(5), channel);
                 !broken.empty())
            fail(broken);
    if (failure.empty())
        compareAfterStep();
}

void FuzzSession::refresh()
{
    if (tested.sendStatus() != reference.sendStatus())
        fail("the two clients gave different status tickets");
    firstLines.sendStatus();
    if (testedWindow.events.size() != 1 || testedWindow.events[0].substr(0, 5) != "send " ||
        listingActionId(std::string_view(testedWindow.events[0]).substr(5)) == std::nullopt)
        fail("a refresh did not send exactly one Status action");
    if (failure.empty())
        compareAfterStep();
}

void FuzzSession::interpretReferenceLines(std::string_view bytes)
{
    if (reference.ended() || bytes.empty())
        return;
    std::size_t from = referencePending.empty() ? 0 : referencePending.size() - 1;
    referencePending.append(bytes);
    std::size_t start = 0;
    while (!reference.ended()) {
        const std::size_t end = referencePending.find("\r\n", from);
        if (end == std::string::npos)
            break;
        const std::string_view line = std::string_view(referencePending).substr(start, end - start);
        start = end + 2;
        from = start;
        if (line.size() > LineFramer::MaxLine) {
            ++referenceDropped;
            continue;
        }

        const std::size_t before = referenceWindow.events.size();
        // A guarded listing (the input repeated a listing's ActionID) reads every line of a
        // block: whether it ends with the ActionID tells whole from cut, so none is left out, and
        // its records end at their empty line in every dialect.
        const bool guarded = reference.guardedListing() || firstLines.guardedListing();
        const bool repeat = repeats.isRepeat(line, reference.currentPbx()) && !guarded;
        reference.ParseIncoming(line);
        if (!repeat)
            firstLines.ParseIncoming(line);
        else if (repeatsSince.size() < 1000)
            repeatsSince += " \"" + std::string(line.substr(0, 200)) + "\"";
        const auto& all = referenceWindow.events;
        const auto& pruned = firstLinesWindow.events;
        if (pruned.size() != all.size() ||
            !std::equal(all.begin() + static_cast<std::ptrdiff_t>(before), all.end(),
                        pruned.begin() + static_cast<std::ptrdiff_t>(before)))
            fail("lines inside a record changed what it had already set:" + repeatsSince +
                 " (seen at \"" + std::string(line.substr(0, 200)) + "\")");
        else if (all.size() > before)
            repeatsSince.clear();
        bool challengeAnswered = false;
        for (std::size_t i = before; i < referenceWindow.events.size(); ++i) {
            const std::string_view event = referenceWindow.events[i];
            if (event.substr(0, 4) == "add ") {
                const bool closes =
                    isRecordClosingLine(line, reference.currentPbx()) ||
                    (guarded && line.empty()) ||
                    (isStatusCompleteLine(line) && event.substr(4) == "Currently No Calls");
                if (!closes)
                    fail("an entry was added by a line that closes no record: \"" +
                         std::string(line.substr(0, 200)) + "\"");
            } else if (event.substr(0, 7) == "answer ") {
                challengeAnswered = challengeAnswered || isChallengeAnswerEvent(event);
            } else if (event == "end") {
                // A refused challenge ends the run too, once its answer is complete.
                const bool refusedChallenge =
                    bChallenge && challengeAnswered && isAnswerEndLine(line);
                if (!isRejectedLoginLine(line) && !refusedChallenge)
                    fail("the program was ended by: \"" + std::string(line.substr(0, 200)) + "\"");
            } else if (event.substr(0, 5) == "send ") {
                const std::string broken =
                    bChallenge ? checkChallengeLineAction(event.substr(5), referenceWindow.user,
                                                          referenceWindow.lastKey)
                               : checkLineAction(event.substr(5), referenceWindow.user,
                                                 referenceWindow.secret);
                if (!broken.empty())
                    fail(broken);
            }
        }
        if (reference.ended() &&
            (referenceWindow.events.empty() || referenceWindow.events.back() != "end"))
            fail("the client ended without telling its window");
    }
    referencePending.erase(0, start);
}

void FuzzSession::compareAfterStep()
{
    if (const std::string broken = checkBuffer(tested.buffer()); !broken.empty())
        fail(broken);
    if (testedWindow.events != referenceWindow.events) {
        std::string what = "the client asked its window for something else than the lines say:";
        const std::size_t n = std::max(testedWindow.events.size(), referenceWindow.events.size());
        for (std::size_t i = 0; i < n; ++i) {
            const std::string& a = i < testedWindow.events.size() ? testedWindow.events[i] : "-";
            const std::string& b =
                i < referenceWindow.events.size() ? referenceWindow.events[i] : "-";
            if (a != b) {
                what += "\n  got:      " + a.substr(0, 200) + "\n  expected: " + b.substr(0, 200);
                break;
            }
        }
        fail(what);
    }
    if (tested.ended() != reference.ended())
        fail("one client ended and the other did not");
    if (bChallenge && (testedWindow.secretAsked != 0 || referenceWindow.secretAsked != 0))
        fail("the challenge login asked the window for the secret");
    if (!tested.ended() && tested.droppedLines() != referenceDropped)
        fail("over-long lines dropped: " + std::to_string(tested.droppedLines()) + ", expected " +
             std::to_string(referenceDropped));
    testedWindow.events.clear();
    referenceWindow.events.clear();
    firstLinesWindow.events.clear();
}

void FuzzSession::fail(std::string what)
{
    if (failure.empty())
        failure = std::move(what);
}

} // namespace corvale::fuzz
