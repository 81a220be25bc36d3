#pragma once

#include <string_view>

namespace corvale {

// Words of the PBX that the views read meaning into, in one place.

// The answer to a Hangup of a channel the PBX does not have (any longer).
constexpr std::string_view NoSuchChannel = "No such channel";

// What the PBX sends for a caller number or name it does not know.
constexpr std::string_view UnknownCaller = "<unknown>";

// A Local channel is two channels, its halves: NAME;1 and NAME;2 (NAME,1 and NAME,2 on PBX 1.4).
// The NAME of a half; empty for any other channel.
constexpr std::string_view localChannelOf(std::string_view channel)
{
    constexpr std::string_view Local = "Local/";
    if (channel.size() < Local.size() + 2 || channel.substr(0, Local.size()) != Local)
        return {};
    const char separator = channel[channel.size() - 2];
    const char half = channel.back();
    if ((separator != ';' && separator != ',') || (half != '1' && half != '2'))
        return {};
    return channel.substr(0, channel.size() - 2);
}

// Whether the two channels are the two halves of one Local channel.
constexpr bool otherHalves(std::string_view a, std::string_view b)
{
    const std::string_view local = localChannelOf(a);
    return !local.empty() && local == localChannelOf(b) && a.back() != b.back();
}

} // namespace corvale
