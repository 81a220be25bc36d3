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

// An action as sent with its ActionID's value (fresh and random for every listing) as "*", so
// that a test pins every other byte; and recorded actions as the client sends them now.
inline std::string anyActionId(std::string action)
{
    const std::size_t at = action.find("\r\nActionID: ");
    if (at != std::string::npos)
        action.replace(at + 12, action.find("\r\n", at + 12) - at - 12, "*");
    return action;
}

inline std::vector<std::string> anyActionIds(std::vector<std::string> actions)
{
    for (std::string& action : actions)
        action = anyActionId(std::move(action));
    return actions;
}

inline std::string withListingIds(std::string recorded)
{
    for (const char* listing : {"Action: Status\r\n\r\n", "Action: CoreShowChannels\r\n\r\n"})
        for (std::size_t at = 0; (at = recorded.find(listing, at)) != std::string::npos;)
            recorded.insert(at += std::string_view(listing).size() - 2, "ActionID: *\r\n");
    return recorded;
}

inline const std::string StatusSent = "Action: Status\r\nActionID: *\r\n\r\n";
inline const std::string CoreShowChannelsSent = "Action: CoreShowChannels\r\nActionID: *\r\n\r\n";
