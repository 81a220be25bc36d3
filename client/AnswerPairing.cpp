#include "AnswerPairing.h"

#include <algorithm>

namespace corvale {

namespace {

// Sent actions awaiting an answer. A PBX answers every action, so this only fills up when one
// does not; beyond it the oldest are forgotten rather than memory growing without end.
constexpr std::size_t MaxPending = 4096;

} // namespace

std::uint64_t AnswerPairing::track(ActionKind kind, std::string listingId, bool core)
{
    if (pending.size() >= MaxPending)
        pending.pop_front();
    pending.push_back({nextTicket, kind, std::move(listingId), core});
    return nextTicket++;
}

bool AnswerPairing::awaits(ActionKind kind) const
{
    return std::any_of(pending.begin(), pending.end(),
                       [kind](const Pending& p) { return p.kind == kind; });
}

bool AnswerPairing::open(std::string_view response)
{
    if (pending.empty())
        return false;
    openAnswer = Answer{};
    openAnswer->response = response;
    pair(pending.front());
    pending.pop_front();
    return true;
}

void AnswerPairing::echo(std::string_view id)
{
    if (openAnswer && sAnswerEcho.empty())
        sAnswerEcho = id;
}

void AnswerPairing::realignToStatus()
{
    // Only a status answer says that a listing follows. Answers come in order, so the actions it
    // was paired with, and any others before the oldest status action, were never answered and
    // never will be; left paired, every later answer would go to the action before its own.
    while (!pending.empty() && pending.front().kind != ActionKind::Status)
        pending.pop_front();
    if (pending.empty())
        return;
    pair(pending.front());
    pending.pop_front();
}

void AnswerPairing::pair(const Pending& with)
{
    openAnswer->ticket = with.ticket;
    openAnswer->kind = with.kind;
    sAnswerListingId = with.listingId;
    bAnswerChannels = with.core;
}

std::optional<AnswerPairing::Done> AnswerPairing::finish()
{
    if (!openAnswer)
        return std::nullopt;
    Done done{std::move(*openAnswer), sAnswerListingId, bAnswerChannels, false};
    openAnswer.reset();
    done.echoed = !sAnswerListingId.empty() && sAnswerEcho == sAnswerListingId;
    sAnswerEcho.clear();
    return done;
}

} // namespace corvale
