#pragma once

#include <QString>

#include <chrono>
#include <optional>
#include <string>

namespace corvale {
struct Conversation;
struct Leg;
} // namespace corvale

// What the operator sees of a call: who called whom, its state and how long it has lasted. The
// rules live here, apart from any model, so that the tree, the question before a hangup and the
// tests read them alike. None depends on the order in which a listing named the channels.
namespace CallPresentation {

// Whether `a` is the older channel of one PBX: by Uniqueid, which orders a PBX's channels by
// their creation (its seconds, then the sequence number after the dot, as numbers), a channel
// whose Uniqueid is unknown after those with one; then by the seconds it has lasted; then by
// name, so that two calls alike always compare alike.
bool olderThan(const corvale::Leg& a, const corvale::Leg& b);

// The leg that started the conversation: the one whose Uniqueid is its Linkedid (a call's first
// channel is its caller's), the oldest of several such (two calls bridged together), else the
// oldest leg. When that leg is a Local channel's half that knows no caller number (the first half
// of an originated call, as a queue's waiting callers have), its other half.
const corvale::Leg& callerOf(const corvale::Conversation& conversation);
// Whom the caller talks to: from the caller across its bridge, and on through both halves of any
// Local channel, the nearest leg that is no Local half, else the farthest leg reached. Nothing
// while the conversation has no bridge.
const corvale::Leg* otherPartyOf(const corvale::Conversation& conversation);

// "NUMBER <NAME>", or whichever of the two the PBX knows.
QString partyText(const std::string& number, const std::string& name);
QString fromText(const corvale::Conversation& conversation);
// The other party once there is one, else the extension the caller dialled.
QString toText(const corvale::Conversation& conversation);
// Each state its legs are in, once, in the order of the legs.
QString stateText(const corvale::Conversation& conversation);
// Seconds up, counted on from the last listing; a conversation's are its longest leg's.
std::optional<double> secondsOf(const corvale::Leg& leg);
std::optional<double> secondsOf(const corvale::Conversation& conversation);
// The same at `now` of the calls' clock, for many conversations at one reading of it.
std::optional<double> secondsOf(const corvale::Leg& leg, std::chrono::steady_clock::time_point now);
std::optional<double> secondsOf(const corvale::Conversation& conversation,
                                std::chrono::steady_clock::time_point now);
// "H:MM:SS".
QString durationText(double seconds);

} // namespace CallPresentation
