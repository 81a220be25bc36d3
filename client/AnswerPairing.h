#pragma once

#include "WindowOps.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace corvale {

// Pairs the PBX's answers with the actions sent. An answer carries nothing that names its action
// (only a listing's repeats its ActionID), so answers are paired in the order the actions went
// out: this keeps the actions that await one, and the answer being read, apart from the reading
// of lines.
class AnswerPairing
{
public:
    // An answer read to its end, with what its action went out with.
    struct Done
    {
        Answer answer;
        std::string listingId; // a listing's ActionID
        bool core = false;     // a listing by CoreShowChannels
        bool echoed = false;   // the answer repeated the listing's ActionID
    };

    // An action has gone out; its ticket names it in its answer.
    std::uint64_t track(ActionKind kind, std::string listingId = {}, bool core = false);
    bool awaits(ActionKind kind) const;
    std::size_t size() const { return pending.size(); }
    // The ActionID of the action tracked last, a listing.
    const std::string& newestListingId() const { return pending.back().listingId; }
    // The actions sent so far will not be answered, or not recognisably.
    void forgetActions() { pending.clear(); }
    // The answer being read is cut off.
    void dropAnswer() { openAnswer.reset(); }

    // A Response line: opens the answer of the oldest action awaiting one; false when none does.
    bool open(std::string_view response);
    // The answer being read; nullptr between answers.
    Answer* answer() { return openAnswer ? &*openAnswer : nullptr; }
    // An ActionID line in the answer: the PBX repeats it right after the Response line.
    void echo(std::string_view id);
    // The open answer is a listing's: it goes to the oldest listing awaiting one instead.
    void realignToStatus();
    // The open answer's block has ended; nothing when none is open.
    std::optional<Done> finish();

private:
    struct Pending
    {
        std::uint64_t ticket;
        ActionKind kind;
        std::string listingId;
        bool core = false;
    };

    void pair(const Pending& with);

    std::deque<Pending> pending; // sent actions awaiting their answer, oldest first
    std::optional<Answer> openAnswer;
    std::string sAnswerListingId; // the ActionID the open answer's listing went out with
    bool bAnswerChannels = false;
    std::string sAnswerEcho; // the ActionID the open answer repeated
    std::uint64_t nextTicket = 1;
};

} // namespace corvale
