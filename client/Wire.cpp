#include "Wire.h"

namespace corvale {

bool isSafeHeaderValue(std::string_view value)
{
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::optional<std::string> loginAction(std::string_view user, std::string_view secret,
                                       std::string_view events)
{
    if (!isSafeHeaderValue(user) || !isSafeHeaderValue(secret) || !isSafeHeaderValue(events))
        return std::nullopt;
    std::string text;
    text.reserve(64 + user.size() + secret.size() + events.size());
    text += "Action: login\r\nUsername: ";
    text += user;
    text += "\r\nSecret: ";
    text += secret;
    text += "\r\nEvents: ";
    text += events;
    text += "\r\n\r\n";
    return text;
}

std::optional<std::string> md5LoginAction(std::string_view user, std::string_view key,
                                          std::string_view events)
{
    if (!isSafeHeaderValue(user) || !isSafeHeaderValue(key) || !isSafeHeaderValue(events))
        return std::nullopt;
    std::string text;
    text.reserve(96 + user.size() + key.size() + events.size());
    text += "Action: Login\r\nAuthType: MD5\r\nUsername: ";
    text += user;
    text += "\r\nKey: ";
    text += key;
    text += "\r\nEvents: ";
    text += events;
    text += "\r\n\r\n";
    return text;
}

std::string actionWithId(std::string_view action, std::string_view actionId)
{
    std::string text = "Action: ";
    text += action;
    text += "\r\nActionID: ";
    text += actionId;
    text += "\r\n\r\n";
    return text;
}

std::optional<std::string> hangupAction(std::string_view channel)
{
    if (!isSafeHeaderValue(channel))
        return std::nullopt;
    std::string text;
    text.reserve(32 + channel.size());
    text += "Action: Hangup\r\nChannel: ";
    text += channel;
    text += "\r\n\r\n";
    return text;
}

EntryParts appendEntryStart(std::string& out, std::string_view channel, std::string_view number,
                            std::string_view name, std::string_view extension)
{
    EntryParts ends{};
    out += channel;
    ends[0] = out.size();
    out += " From: ";
    out += number;
    ends[1] = out.size();
    out += " <";
    out += name;
    ends[2] = out.size();
    out += "> To: ";
    out += extension;
    ends[3] = out.size();
    out += " Lasted: ";
    return ends;
}

std::string_view loginEvents(bool live, bool agent, bool system)
{
    if (!live)
        return EventsOff;
    if (system)
        return agent ? EventsCallAgentSystem : EventsCallSystem;
    return agent ? EventsCallAgent : EventsCall;
}

} // namespace corvale
