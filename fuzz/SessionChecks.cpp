#include "SessionChecks.h"

#include "LineFramer.h"

#include <algorithm>

namespace corvale::fuzz {

namespace {

// Written out here rather than taken from the client, so a fault there cannot hide itself.
constexpr std::string_view LoginHead = "Action: login\r\nUsername: ";
constexpr std::string_view LoginSecret = "Secret: ";
constexpr std::string_view LoginTail = "Events: Off\r\n\r\n";
constexpr std::string_view ListingHeads[] = {"Action: Status\r\nActionID: ",
                                             "Action: CoreShowChannels\r\nActionID: "};
constexpr std::string_view HangupHead = "Action: Hangup\r\nChannel: ";
constexpr std::string_view ChallengeText = "Action: Challenge\r\nAuthType: MD5\r\n\r\n";
constexpr std::string_view KeyLoginHead = "Action: Login\r\nAuthType: MD5\r\nUsername: ";
constexpr std::string_view KeyLoginKey = "Key: ";

bool startsWith(std::string_view text, std::string_view head)
{
    return text.substr(0, head.size()) == head;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// Cuts one header value off the front of `rest`, up to its CR LF.
bool takeValue(std::string_view& rest, std::string_view& value)
{
    const std::size_t end = rest.find("\r\n");
    if (end == std::string_view::npos)
        return false;
    value = rest.substr(0, end);
    rest.remove_prefix(end + 2);
    return true;
}

std::string printable(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f && c != '\\') {
            out += c;
        } else {
            static constexpr char Hex[] = "0123456789abcdef";
            out += "\\x";
            out += Hex[u >> 4];
            out += Hex[u & 15];
        }
    }
    return out;
}

} // namespace

std::optional<std::string> listingActionId(std::string_view action)
{
    for (const std::string_view head : ListingHeads) {
        if (!startsWith(action, head))
            continue;
        std::string_view rest = action.substr(head.size());
        std::string_view id;
        if (!takeValue(rest, id) || rest != "\r\n" || id.empty() || trimmed(id) != id)
            return std::nullopt;
        return std::string(id);
    }
    return std::nullopt;
}

bool isSafeValue(std::string_view value)
{
    for (const char c : value)
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    return true;
}

std::string checkBuffer(std::string_view buffer)
{
    if (buffer.find("\r\n") != std::string_view::npos)
        return "a CR LF was left in the buffer: \"" + printable(buffer) + "\"";
    if (buffer.size() > LineFramer::MaxLine + 1)
        return "the buffer holds " + std::to_string(buffer.size()) + " bytes";
    return {};
}

bool isRecordClosingLine(std::string_view line, bool currentPbx)
{
    if (currentPbx)
        return line.empty();
    return startsWith(line, "Uniqueid:");
}

bool isStatusCompleteLine(std::string_view line)
{
    return startsWith(line, "Event:") && trimmed(line.substr(6)) == "StatusComplete";
}

bool isRejectedLoginLine(std::string_view line)
{
    return startsWith(line, "Message:") &&
           line.find("Authentication failed") != std::string_view::npos;
}

bool isAnswerEndLine(std::string_view line)
{
    return line.empty() || startsWith(line, "Response:");
}

std::string checkLineAction(std::string_view action, std::string_view user, std::string_view secret)
{
    if (listingActionId(action))
        return {};
    std::string_view rest = action;
    std::string_view sentUser;
    std::string_view sentSecret;
    if (!startsWith(rest, LoginHead))
        return "not an action the client sends: \"" + printable(action) + "\"";
    rest.remove_prefix(LoginHead.size());
    if (!takeValue(rest, sentUser) || !startsWith(rest, LoginSecret))
        return "malformed login: \"" + printable(action) + "\"";
    rest.remove_prefix(LoginSecret.size());
    if (!takeValue(rest, sentSecret) || rest != LoginTail)
        return "malformed login: \"" + printable(action) + "\"";
    if (!isSafeValue(user) || !isSafeValue(secret))
        return "a login with an unsafe user or secret was sent: \"" + printable(action) + "\"";
    if (sentUser != user || sentSecret != secret)
        return "the login does not carry the window's user and secret: \"" + printable(action) +
               "\"";
    return {};
}

std::string checkChallengeLineAction(std::string_view action, std::string_view user,
                                     std::string_view key)
{
    if (listingActionId(action) || action == ChallengeText)
        return {};
    std::string_view rest = action;
    std::string_view sentUser;
    std::string_view sentKey;
    if (!startsWith(rest, KeyLoginHead))
        return "not an action the challenge login sends: \"" + printable(action) + "\"";
    rest.remove_prefix(KeyLoginHead.size());
    if (!takeValue(rest, sentUser) || !startsWith(rest, KeyLoginKey))
        return "malformed login: \"" + printable(action) + "\"";
    rest.remove_prefix(KeyLoginKey.size());
    if (!takeValue(rest, sentKey) || rest != LoginTail)
        return "malformed login: \"" + printable(action) + "\"";
    if (!isSafeValue(user))
        return "a login with an unsafe user was sent: \"" + printable(action) + "\"";
    if (sentUser != user || sentKey != key)
        return "the login does not carry the window's user and key: \"" + printable(action) + "\"";
    return {};
}

bool RecordRepeats::isRepeat(std::string_view line, bool currentPbx)
{
    const std::size_t colon = line.find(':');
    const std::string_view key = line.substr(0, colon);
    const std::string_view value =
        colon == std::string_view::npos ? std::string_view() : trimmed(line.substr(colon + 1));
    const bool hasKey = colon != std::string_view::npos;
    const bool ownLines = bOpen && (currentPbx || !bBlockEnded);

    if (hasKey && key == "Event") {
        if (ownLines)
            return true;
        if (value == "Status") {
            bOpen = true;
            bBlockEnded = false;
            keysSet.assign(1, "Event");
        }
        return false;
    }
    if (!bOpen)
        return false;
    if (line.empty()) {
        if (currentPbx)
            bOpen = false;
        else
            bBlockEnded = true;
        return false;
    }
    if (!hasKey)
        return false;
    if (!currentPbx && key == "Uniqueid") {
        bOpen = false;
        return false;
    }
    static constexpr std::string_view EntryKeys[] = {
        "Channel", "CallerID", "CallerIDNum", "CallerIDName", "Extension", "Exten", "Seconds"};
    if (std::find(std::begin(EntryKeys), std::end(EntryKeys), key) == std::end(EntryKeys))
        return false;
    if (std::find(keysSet.begin(), keysSet.end(), key) != keysSet.end())
        return true;
    keysSet.emplace_back(key);
    return false;
}

std::string checkHangupAction(std::string_view action, std::string_view channel)
{
    if (!isSafeValue(channel))
        return "a hangup of an unsafe channel was sent: \"" + printable(action) + "\"";
    std::string_view rest = action;
    std::string_view sentChannel;
    if (!startsWith(rest, HangupHead))
        return "not a hangup: \"" + printable(action) + "\"";
    rest.remove_prefix(HangupHead.size());
    if (!takeValue(rest, sentChannel) || rest != "\r\n" || sentChannel != channel)
        return "malformed hangup: \"" + printable(action) + "\"";
    return {};
}

} // namespace corvale::fuzz
