#include "ManagerClient.h"

#include "Wire.h"

namespace corvale {

namespace {

// Sent actions awaiting an answer. A PBX answers every action, so this only fills up when one
// does not; beyond it the oldest are forgotten rather than memory growing without end.
constexpr std::size_t MaxPending = 4096;

std::string_view trimSpaces(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

bool contains(std::string_view text, std::string_view marker)
{
    return text.find(marker) != std::string_view::npos;
}

} // namespace

bool splitField(std::string_view line, std::string_view& key, std::string_view& value)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    key = line.substr(0, colon);
    value = trimSpaces(line.substr(colon + 1));
    return true;
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

ManagerClient::ManagerClient(WindowOps& windowOps, const std::locale& numbers)
    : window(windowOps)
    , duration(numbers)
{}

void ManagerClient::dataArrival(std::string_view bytes)
{
    if (bEnded)
        return;
    if (bDispatching) {
        // A modal message opened while interpreting a line runs the event loop, which can
        // deliver more data here. Interpreting it now would put its lines before the rest of
        // the outer chunk, so it waits for the outer run to finish.
        sDeferred.append(bytes);
        return;
    }
    bDispatching = true;
    struct Reset
    {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{bDispatching};

    feed(bytes);
    while (!bEnded && !sDeferred.empty()) {
        std::string more = std::move(sDeferred);
        sDeferred.clear();
        feed(more);
    }
    if (bEnded)
        sDeferred.clear();
}

void ManagerClient::feed(std::string_view bytes)
{
    framer.feed(bytes, [this](std::string_view line) {
        ParseIncoming(line);
        return !bEnded;
    });
}

void ManagerClient::ParseIncoming(std::string_view sData)
{
    if (bEnded)
        return;
    std::string_view key;
    std::string_view value;
    const bool isField = splitField(sData, key, value);
    trackAnswer(key, value, isField, sData);

    // The chain: the first test that holds decides. Markers are matched by key, never found
    // anywhere in the line, so that what a caller puts in a name cannot steer the client.
    if (sData.substr(0, GreetingMarker.size()) == GreetingMarker) {
        readGreeting(sData);
        sendLogin();
    } else if (isField && key == "Message" && contains(value, AcceptedMarker)) {
        sendStatus();
    } else if (isField && key == "Message" && contains(value, FailedMarker)) {
        window.showMessage(RejectedLoginMessage);
        end();
    } else if (isField && key == "Event" && value == "StatusComplete") {
        if (window.callCount() == 0)
            window.addCall(NoCallsEntry);
    } else if (isField && key == "Event" && value == "Status") {
        openRecord();
    } else if (bInStatus) {
        if (isField)
            applyField(key, value);
        else if (sData.empty() && currentPbx())
            closeRecord(); // a current PBX ends a record with its event block
    }
}

void ManagerClient::trackAnswer(std::string_view key, std::string_view value, bool isField,
                                std::string_view line)
{
    // Answers come one per action, in the order the actions were sent; each is a block that
    // begins with "Response:" and ends at an empty line.
    if (line.empty()) {
        if (openAnswer) {
            Answer done = std::move(*openAnswer);
            openAnswer.reset();
            window.actionAnswered(done);
        }
        return;
    }
    if (!isField)
        return;
    if (key == "Response") {
        if (openAnswer) {
            Answer done = std::move(*openAnswer);
            openAnswer.reset();
            window.actionAnswered(done);
        }
        if (pending.empty())
            return;
        Answer next;
        next.ticket = pending.front().ticket;
        next.kind = pending.front().kind;
        next.response = value;
        pending.pop_front();
        openAnswer = std::move(next);
    } else if (key == "Message" && openAnswer) {
        openAnswer->message = value;
        if (value == StatusFollowsMessage && openAnswer->kind != ActionKind::Status)
            realignToStatus();
    }
}

void ManagerClient::realignToStatus()
{
    // Only a status answer says this. Answers come in order, so the actions it was paired with,
    // and any others before the oldest status action, were never answered and never will be; left
    // paired, every later answer would go to the action before its own.
    while (!pending.empty() && pending.front().kind != ActionKind::Status)
        pending.pop_front();
    if (pending.empty())
        return;
    openAnswer->ticket = pending.front().ticket;
    openAnswer->kind = ActionKind::Status;
    pending.pop_front();
}

void ManagerClient::readGreeting(std::string_view line)
{
    // "Asterisk Call Manager/13.0.0": the major number picks how status records are read.
    nVersion = 0;
    std::string_view rest = line.substr(GreetingMarker.size());
    if (rest.empty() || rest.front() != '/')
        return;
    rest.remove_prefix(1);
    const std::string_view major = rest.substr(0, rest.find('.'));
    if (major.empty() || major.size() > 6)
        return;
    int version = 0;
    for (const char c : major) {
        if (c < '0' || c > '9')
            return;
        version = version * 10 + (c - '0');
    }
    nVersion = version;
}

void ManagerClient::sendLogin()
{
    const auto action = loginAction(window.userName(), window.password());
    if (!action) {
        window.showMessage(UnsafeLoginMessage);
        return;
    }
    track(ActionKind::Login);
    window.send(*action);
}

std::uint64_t ManagerClient::sendStatus()
{
    const std::uint64_t ticket = track(ActionKind::Status);
    window.send(StatusAction);
    return ticket;
}

std::optional<std::uint64_t> ManagerClient::sendHangup(std::string_view channel)
{
    const auto action = hangupAction(channel);
    if (!action)
        return std::nullopt;
    const std::uint64_t ticket = track(ActionKind::Hangup);
    window.send(*action);
    return ticket;
}

std::uint64_t ManagerClient::track(ActionKind kind)
{
    if (pending.size() >= MaxPending)
        pending.pop_front();
    pending.push_back({nextTicket, kind});
    return nextTicket++;
}

void ManagerClient::openRecord()
{
    bInStatus = true;
    sCallerID.clear();
    sCallerIDName.clear();
    sExtension.clear();
    sChannel.clear();
    sSeconds.clear();
    bHasCallerID = false;
    bHasExtension = false;
}

void ManagerClient::applyField(std::string_view key, std::string_view value)
{
    // Keys match exactly: "BridgedChannel", "ConnectedLineNum" and the like touch nothing.
    if (key == "Extension") {
        sExtension = value;
        bHasExtension = true;
    } else if (key == "CallerID") {
        sCallerID = value;
        bHasCallerID = true;
    } else if (key == "CallerIDName") {
        if (currentPbx())
            unescapeName(value, sCallerIDName);
        else
            sCallerIDName = value;
    } else if (key == "Channel") {
        sChannel = value;
    } else if (key == "Seconds") {
        sSeconds = value;
    } else if (key == "Uniqueid") {
        // A current PBX sends Seconds after Uniqueid; its records end at the empty line.
        if (!currentPbx())
            closeRecord();
    } else if (key == "CallerIDNum") {
        if (!bHasCallerID)
            sCallerID = value;
    } else if (key == "Exten") {
        if (!bHasExtension)
            sExtension = value;
    }
}

void ManagerClient::closeRecord()
{
    sEntry.clear();
    sEntry += sChannel;
    sEntry += " From: ";
    sEntry += sCallerID;
    sEntry += " <";
    sEntry += sCallerIDName;
    sEntry += "> To: ";
    sEntry += sExtension;
    sEntry += " Lasted: ";
    if (sSeconds.empty() || !duration.appendMinutes(sSeconds, sEntry))
        sEntry += "Unknown";
    sEntry += " minutes.";
    bInStatus = false;
    window.addCall(sEntry);
}

void ManagerClient::end()
{
    bEnded = true;
    window.endProgram();
}

} // namespace corvale
