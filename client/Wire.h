#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvale {

// Every text that crosses the manager connection. All plain ASCII; received text is read one
// byte per character.
// Asks for the challenge of a login that never sends the secret.
constexpr std::string_view ChallengeAction = "Action: Challenge\r\nAuthType: MD5\r\n\r\n";
// The Events header of a login: no events, only the answers to the client's own actions.
constexpr std::string_view EventsOff = "Off";
// The Events header of a login in live mode: the call events, which carry every change of a call.
constexpr std::string_view EventsCall = "call";
// Live mode that also hears of the PBX shutting down, to reconnect at once.
constexpr std::string_view EventsCallSystem = "call,system";
// Live mode that follows the queues too: their events from 12 on, and the agents', are class agent.
constexpr std::string_view EventsCallAgent = "call,agent";
constexpr std::string_view EventsCallAgentSystem = "call,agent,system";
// The Events header for a login: EventsOff unless `live`.
std::string_view loginEvents(bool live, bool agent, bool system);
// Asks the PBX for an answer and nothing else: proof that the connection still carries.
constexpr std::string_view PingAction = "Action: Ping\r\n\r\n";
constexpr std::string_view LineEnd = "\r\n";

constexpr std::string_view GreetingMarker = "Asterisk Call Manager";
constexpr std::string_view AcceptedMarker = "Authentication accepted";
constexpr std::string_view FailedMarker = "Authentication failed";
constexpr std::string_view NoCallsEntry = "Currently No Calls";
// The Message of a Status action's answer, and of no other answer.
constexpr std::string_view StatusFollowsMessage = "Channel status will follow";
// The Message of a CoreShowChannels action's answer.
constexpr std::string_view ChannelsFollowMessage = "Channels will follow";

constexpr std::string_view RejectedLoginMessage = "Your manager details are incorrect";
// Shown when the PBX refuses a challenge but gives no reason of its own.
constexpr std::string_view NoChallengeMessage =
    "The PBX did not give a challenge, so the login could not be sent.";
constexpr std::string_view UnsafeLoginMessage =
    "The user name or password holds a line break or NUL character, so the login was not sent.";

// A header value must stay on its own line: a PBX ends a header at CR LF, at a lone LF too, and
// cuts it at a NUL, so any of these would let a value smuggle in headers or whole actions.
bool isSafeHeaderValue(std::string_view value);

// The actions, byte for byte. Each returns nothing when a value is not safe to send.
std::optional<std::string> loginAction(std::string_view user, std::string_view secret,
                                       std::string_view events = EventsOff);
// The login that answers a challenge: `key` is the lower-case hex MD5 of the challenge followed
// by the secret.
std::optional<std::string> md5LoginAction(std::string_view user, std::string_view key,
                                          std::string_view events = EventsOff);
std::optional<std::string> hangupAction(std::string_view channel);
// An action without headers but its ActionID, which the PBX repeats in its answer: every listing
// ("Status", "CoreShowChannels": a current PBX's listing that escapes every name and gives each
// channel's bridge). Both texts are the client's own.
std::string actionWithId(std::string_view action, std::string_view actionId);

// Where the parts of a call list entry end in its text: the channel; " From: " and the number;
// " <" and the name; "> To: " and the extension. The last part, the minutes, runs to the end.
// Each part holds one field and nothing else but ASCII, so that each field can be shown
// decoded on its own. All zero: one part, the whole text.
using EntryParts = std::array<std::size_t, 4>;

// A call list entry up to its minutes: "CHANNEL From: NUMBER <NAME> To: EXTENSION Lasted: ";
// the minutes (or "Unknown") and EntryEnd follow. Returns where its parts end in `out`.
EntryParts appendEntryStart(std::string& out, std::string_view channel, std::string_view number,
                            std::string_view name, std::string_view extension);
constexpr std::string_view UnknownMinutes = "Unknown";
constexpr std::string_view EntryEnd = " minutes.";

} // namespace corvale
