#include "FieldLexing.h"

namespace corvale {

Key classifyKey(std::string_view key)
{
    // By length first: one comparison for nearly every line of a listing.
    switch (key.size()) {
    case 4:
        if (key == "Link")
            return Key::Link;
        break;
    case 5:
        if (key == "Event")
            return Key::Event;
        if (key == "Exten")
            return Key::Exten;
        if (key == "State")
            return Key::State;
        break;
    case 7:
        if (key == "Channel")
            return Key::Channel;
        if (key == "Seconds")
            return Key::Seconds;
        if (key == "Message")
            return Key::Message;
        break;
    case 8:
        // Many keys of a current PBX's records have eight letters: the first tells them apart.
        switch (key.front()) {
        case 'C':
            if (key == "CallerID")
                return Key::CallerID;
            break;
        case 'U':
            if (key == "Uniqueid")
                return Key::Uniqueid;
            break;
        case 'R':
            if (key == "Response")
                return Key::Response;
            break;
        case 'A':
            if (key == "ActionID")
                return Key::ActionID;
            break;
        case 'L':
            if (key == "Linkedid")
                return Key::Linkedid;
            break;
        case 'B':
            if (key == "BridgeID" || key == "BridgeId")
                return Key::BridgeId;
            break;
        case 'D':
            if (key == "Duration")
                return Key::Duration;
            break;
        default:
            break;
        }
        break;
    case 9:
        if (key == "Extension")
            return Key::Extension;
        if (key == "Challenge")
            return Key::Challenge;
        break;
    case 11:
        if (key == "CallerIDNum")
            return Key::CallerIDNum;
        if (key == "Application")
            return Key::Application;
        break;
    case 12:
        if (key == "CallerIDName")
            return Key::CallerIDName;
        break;
    case 14:
        if (key == "BridgedChannel")
            return Key::BridgedChannel;
        break;
    case 16:
        if (key == "ChannelStateDesc")
            return Key::ChannelStateDesc;
        break;
    case 26:
        if (key == "EffectiveConnectedLineName")
            return Key::EffectiveConnectedLineName;
        break;
    default:
        break;
    }
    return Key::Other;
}

void unescapeName(std::string_view escaped, std::string& out)
{
    out.clear();
    out.reserve(escaped.size());
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        char c = escaped[i];
        if (c == '\\' && i + 1 < escaped.size()) {
            const char next = escaped[i + 1];
            switch (next) {
            case '\\':
            case '"':
            case '\'':
            case '?':
                c = next;
                ++i;
                break;
            case 'n':
            case 'r':
            case 't':
            case 'a':
            case 'b':
            case 'f':
            case 'v':
                c = ' ';
                ++i;
                break;
            default:
                break; // not an escape the PBX writes: keep the backslash as it stands
            }
        }
        out += c;
    }
}

bool isGreeting(std::string_view line)
{
    return line.size() >= GreetingMarker.size() &&
           line.substr(0, GreetingMarker.size()) == GreetingMarker;
}

namespace {

// One number of the greeting's version: 0 the major, 1 the minor; 0 when it cannot be read.
int greetingVersionPart(std::string_view line, int part)
{
    if (!isGreeting(line))
        return 0;
    std::string_view rest = line.substr(GreetingMarker.size());
    if (rest.empty() || rest.front() != '/')
        return 0;
    rest.remove_prefix(1);
    for (; part > 0; --part) {
        const auto dot = rest.find('.');
        if (dot == std::string_view::npos)
            return 0;
        rest.remove_prefix(dot + 1);
    }
    const std::string_view number = rest.substr(0, rest.find('.'));
    if (number.empty() || number.size() > 6)
        return 0;
    int version = 0;
    for (const char c : number) {
        if (c < '0' || c > '9')
            return 0;
        version = version * 10 + (c - '0');
    }
    return version;
}

} // namespace

int greetingVersion(std::string_view line)
{
    return greetingVersionPart(line, 0);
}

int greetingMinorVersion(std::string_view line)
{
    return greetingVersionPart(line, 1);
}

void durationSeconds(std::string_view text, std::string& out)
{
    out.clear();
    std::uint64_t total = 0;
    int parts = 0;
    std::size_t digits = 0;
    std::uint64_t part = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ':') {
            if (digits == 0 || ++parts > 3 || (parts > 1 && part > 59))
                return;
            total = total * 60 + part;
            part = 0;
            digits = 0;
        } else if (text[i] >= '0' && text[i] <= '9' && digits < 9) {
            part = part * 10 + static_cast<std::uint64_t>(text[i] - '0');
            ++digits;
        } else {
            return;
        }
    }
    if (parts == 3)
        out = std::to_string(total);
}

} // namespace corvale
