#include "ManagerSession.h"

#include "CallTable.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <openssl/evp.h>
#include <random>

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

// A fresh challenge: a random number of 8 or 9 digits, as a real PBX issues them.
std::string newChallenge()
{
    static std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<std::uint32_t> digits(10'000'000, 999'999'999);
    return std::to_string(digits(engine));
}

} // namespace

std::string md5Hex(std::string_view text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &size, EVP_md5(), nullptr) != 1)
        return {};
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * size);
    for (unsigned int i = 0; i < size; ++i) {
        out += Hex[digest[i] >> 4];
        out += Hex[digest[i] & 0x0f];
    }
    return out;
}

std::string answer(std::string_view response, std::string_view message)
{
    std::string out = "Response: ";
    out += response;
    out += "\r\nMessage: ";
    out += message;
    out += "\r\n\r\n";
    return out;
}

ManagerSession::ManagerSession(const SessionOptions& sessionOptions, CallTable& calls)
    : options(sessionOptions)
    , table(calls)
    , style(eventStyleFor(sessionOptions.greetingVersion))
    , bridgeUnlink(unlinksAsBridge(sessionOptions.greetingVersion))
{}

ManagerSession::~ManagerSession()
{
    table.unsubscribe(this);
}

void ManagerSession::setAddresses(std::string local, std::string remote)
{
    localAddress = std::move(local);
    remoteAddress = std::move(remote);
}

void ManagerSession::callChanged(const CallChange& change)
{
    if (bLoggedIn && !bFinished && eventClasses != 0)
        appendCallEvents(events, change, style, eventClasses, bridgeUnlink);
}

void ManagerSession::takeEvents(std::vector<Output>& out)
{
    if (events.empty())
        return;
    if (!bFinished)
        out.push_back({std::move(events)});
    events.clear();
}

void ManagerSession::restart(std::vector<Output>& out)
{
    takeEvents(out);
    Output last;
    if (bLoggedIn && !bFinished && (eventClasses & EventClass::System) != 0)
        appendShutdownEvent(last.bytes);
    last.closeAfter = true;
    out.push_back(std::move(last));
    bFinished = true;
}

std::string ManagerSession::greeting() const
{
    return "Asterisk Call Manager/" + options.greetingVersion + "\r\n";
}

void ManagerSession::receive(std::string_view bytes, std::int64_t now, std::vector<Output>& out)
{
    if (bFinished)
        return;
    actions.clear();
    reader.feed(bytes, actions);
    for (const Action& action : actions) {
        handle(action, now, out);
        if (bFinished)
            return; // whatever followed is never read
        // The PBX writes the events an action caused right after its answer.
        takeEvents(out);
    }
}

void ManagerSession::handle(const Action& action, std::int64_t now, std::vector<Output>& out)
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
        login(action, now, out);
        return;
    }
    if (name == "challenge") {
        challengeAction(action, out);
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
        out.push_back({ping(action, now)});
    } else if (name == "coreshowchannels" && style != EventStyle::Pbx14) {
        // The greeting's generation, as for the events: 1.4 has no such action.
        out.push_back({coreShowChannelsAnswer(table.calls(), style == EventStyle::Current, now,
                                              action.header("ActionID"))});
    } else {
        out.push_back({answer("Error", "Invalid/unknown command")});
    }
}

void ManagerSession::login(const Action& action, std::int64_t now, std::vector<Output>& out)
{
    if (bLoggedIn) {
        out.push_back({answer("Success", "Already authenticated")});
        return;
    }
    const std::string user = lower(action.header("Username"));
    // With AuthType MD5 the PBX checks only the Key against the challenge it issued.
    const bool md5 = lower(action.header("AuthType")) == "md5";
    const bool proven =
        md5 ? keyMatches(action.header("Key")) : action.header("Secret") == options.secret;
    const bool accepted = !options.refuseLogin && user == lower(options.user) && proven;
    if (!accepted) {
        // The PBX waits before it says no, then drops the connection; a hostile one floods it
        // first.
        out.push_back({answer("Error", "Authentication failed"),
                       options.closeOnRefuse ? 0 : options.refuseDelayMs, true,
                       options.floodAfterRefuse});
        bFinished = true;
        return;
    }
    bLoggedIn = true;
    Output ok{answer("Success", "Authentication accepted")};
    const std::string_view wanted = action.header("Events");
    if (wanted.empty()) {
        // A real PBX would send every event here. The simulator stays quiet, as it always has for
        // such logins, but for the one event a current PBX sends first.
        if (options.dialect == Dialect::Modern)
            ok.bytes +=
                "Event: FullyBooted\r\nPrivilege: system,all\r\nStatus: Fully Booted\r\n\r\n";
    } else if ((eventClasses = eventMask(wanted)) != 0) {
        LoginFacts facts;
        facts.user = action.header("Username");
        facts.now = now;
        facts.uptime = options.bootTime != 0 && now > options.bootTime ? now - options.bootTime : 0;
        facts.localAddress = localAddress;
        facts.remoteAddress = remoteAddress;
        facts.sessionId = reinterpret_cast<std::uintptr_t>(this);
        appendLoginEvents(ok.bytes, style, eventClasses, facts);
        table.subscribe(this);
    }
    if (options.closeAfterLogin) {
        ok.closeAfter = true;
        bFinished = true;
    }
    out.push_back(std::move(ok));
}

void ManagerSession::challengeAction(const Action& action, std::vector<Output>& out)
{
    if (options.challengeError) {
        out.push_back({answer("Error", ChallengeRefusal)});
        return;
    }
    if (lower(action.header("AuthType")) != "md5") {
        out.push_back({answer("Error", "Must specify AuthType")});
        return;
    }
    // The PBX keeps one challenge per connection: asking again gets the same number.
    if (challenge.empty())
        challenge = newChallenge();
    out.push_back({"Response: Success\r\nChallenge: " + challenge + "\r\n\r\n"});
}

bool ManagerSession::keyMatches(std::string_view key) const
{
    return !key.empty() && !challenge.empty() && key == md5Hex(challenge + options.secret);
}

std::string ManagerSession::ping(const Action& action, std::int64_t now) const
{
    const std::string_view id = action.header("ActionID");
    const std::string echo = id.empty() ? std::string() : "ActionID: " + std::string(id) + "\r\n";
    if (style == EventStyle::Pbx14)
        return "Response: Pong\r\n" + echo + "\r\n";
    long long micros = 0;
    if (!options.fixedClock) {
        const auto since = std::chrono::system_clock::now().time_since_epoch();
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
        now = us / 1'000'000;
        micros = us % 1'000'000;
    }
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%lld.%06lld", static_cast<long long>(now), micros);
    return "Response: Success\r\n" + echo + "Ping: Pong\r\nTimestamp: " + stamp + "\r\n\r\n";
}

void ManagerSession::hangup(const Action& action, std::vector<Output>& out)
{
    const std::string_view channel = action.header("Channel");
    std::string reply;
    if (channel.empty())
        reply = answer("Error", "No channel specified");
    else if (table.hangup(channel, true))
        reply = answer("Success", "Channel Hungup");
    else
        reply = answer("Error", "No such channel");
    const bool unanswered = options.noHangupAnswer || nHangups < options.unansweredHangups;
    ++nHangups;
    if (!unanswered)
        out.push_back({std::move(reply)});
}

} // namespace pbxsim
