#include "Session.h"

#include "CallTable.h"

#include <cctype>

namespace pbxsim {

namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A garbage line of the given length: printable, with no line end in it.
std::string longLine(std::size_t size)
{
    std::string line;
    line.reserve(size + 2);
    constexpr std::string_view Pattern = "Garbage-0123456789-abcdefghijklmnopqrstuvwxyz-";
    while (line.size() < size)
        line += Pattern.substr(0, size - line.size());
    line += "\r\n";
    return line;
}

} // namespace

std::string answer(std::string_view response, std::string_view message)
{
    std::string out = "Response: ";
    out += response;
    out += "\r\nMessage: ";
    out += message;
    out += "\r\n\r\n";
    return out;
}

Session::Session(const SessionOptions& sessionOptions, CallTable& calls)
    : options(sessionOptions)
    , table(calls)
{}

std::string Session::greeting() const
{
    return "Asterisk Call Manager/" + options.greetingVersion + "\r\n";
}

void Session::receive(std::string_view bytes, std::int64_t now, std::vector<Output>& out)
{
    if (bFinished)
        return;
    actions.clear();
    reader.feed(bytes, actions);
    for (const Action& action : actions) {
        handle(action, now, out);
        if (bFinished)
            return; // whatever followed is never read
    }
}

void Session::handle(const Action& action, std::int64_t now, std::vector<Output>& out)
{
    if (action.lineTooLong) {
        out.push_back({answer("Error", "Failed to parse message: line too long")});
        return;
    }
    if (action.tooManyLines) {
        out.push_back({answer("Error", "Too many lines in message or allocation failure")});
        return;
    }
    const std::string name = lower(action.header("Action", true));
    if (name.empty()) {
        out.push_back({answer("Error", "Missing action in request")});
        return;
    }
    if (name == "login") {
        login(action, out);
        return;
    }
    if (name == "logoff") {
        out.push_back({answer("Goodbye", "Thanks for all the fish."), 0, true});
        bFinished = true;
        return;
    }
    if (!bLoggedIn) {
        out.push_back({answer("Error", "Permission denied")});
        return;
    }
    if (name == "status") {
        Output status;
        if (options.longLine > 0)
            status.bytes = longLine(options.longLine);
        status.bytes += statusAnswer(table.calls(), options.dialect, now);
        out.push_back(std::move(status));
    } else if (name == "hangup") {
        hangup(action, out);
    } else if (name == "ping") {
        out.push_back({options.dialect == Dialect::Modern
                           ? "Response: Success\r\nPing: Pong\r\nTimestamp: " +
                                 std::to_string(now) + ".000000\r\n\r\n"
                           : std::string("Response: Pong\r\n\r\n")});
    } else {
        out.push_back({answer("Error", "Invalid/unknown command")});
    }
}

void Session::login(const Action& action, std::vector<Output>& out)
{
    if (bLoggedIn) {
        out.push_back({answer("Success", "Already authenticated")});
        return;
    }
    const std::string user = lower(action.header("Username"));
    const bool accepted = !options.refuseLogin && user == lower(options.user) &&
                          action.header("Secret") == options.secret;
    if (!accepted) {
        // The PBX waits before it says no, then drops the connection.
        out.push_back({answer("Error", "Authentication failed"),
                       options.closeOnRefuse ? 0 : options.refuseDelayMs, true});
        bFinished = true;
        return;
    }
    bLoggedIn = true;
    Output ok{answer("Success", "Authentication accepted")};
    // A current PBX tells a session that wants events that it is up; "Events: Off" silences it.
    if (options.dialect == Dialect::Modern && lower(action.header("Events")) != "off")
        ok.bytes += "Event: FullyBooted\r\nPrivilege: system,all\r\nStatus: Fully Booted\r\n\r\n";
    if (options.closeAfterLogin) {
        ok.closeAfter = true;
        bFinished = true;
    }
    out.push_back(std::move(ok));
}

void Session::hangup(const Action& action, std::vector<Output>& out)
{
    const std::string_view channel = action.header("Channel");
    std::string reply;
    if (channel.empty())
        reply = answer("Error", "No channel specified");
    else if (table.hangup(channel))
        reply = answer("Success", "Channel Hungup");
    else
        reply = answer("Error", "No such channel");
    const bool unanswered = options.noHangupAnswer || nHangups < options.unansweredHangups;
    ++nHangups;
    if (!unanswered)
        out.push_back({std::move(reply)});
}

} // namespace pbxsim
