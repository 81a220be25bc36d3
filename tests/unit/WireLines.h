#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Lines as the PBX sends them: each followed by CR LF.
inline std::string wire(std::initializer_list<std::string_view> lines)
{
    std::string out;
    for (const auto line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

// An action as sent with its ActionID's value (fresh and random for every listing) replaced by
// "*", so that a test pins every other byte.
inline std::string anyActionId(std::string action)
{
    constexpr std::string_view Head = "\r\nActionID: ";
    const std::size_t at = action.find(Head);
    if (at != std::string::npos) {
        const std::size_t from = at + Head.size();
        action.replace(from, action.find("\r\n", from) - from, "*");
    }
    return action;
}

inline std::vector<std::string> anyActionIds(std::vector<std::string> actions)
{
    for (std::string& action : actions)
        action = anyActionId(std::move(action));
    return actions;
}

// The two listings as anyActionId shows them.
inline const std::string StatusSent = "Action: Status\r\nActionID: *\r\n\r\n";
inline const std::string CoreShowChannelsSent = "Action: CoreShowChannels\r\nActionID: *\r\n\r\n";

// Recorded actions as the client sends them now: each listing with its ActionID line, shown as
// anyActionId shows it; every other byte as recorded.
inline std::string withListingIds(std::string recorded)
{
    for (const std::string_view listing : {std::string_view("Action: Status\r\n\r\n"),
                                           std::string_view("Action: CoreShowChannels\r\n\r\n")}) {
        for (std::size_t at = 0; (at = recorded.find(listing, at)) != std::string::npos;) {
            at += listing.size() - 2;
            recorded.insert(at, "ActionID: *\r\n");
        }
    }
    return recorded;
}
