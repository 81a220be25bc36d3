#include "ManagerSession.h"

#include "CallTable.h"
#include "Causes.h"
#include "QueueEvents.h"
#include "QueueListing.h"

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

// The write classes each action needs, as the PBX registers it: up to 1.4 an action needs all of
// them, since 1.6 any one. Actions not listed need none.
struct Authority
{
    std::string_view action;
    unsigned needs;
    unsigned needsOn14;
};
constexpr Authority Authorities[] = {
    {"status", EventClass::System | EventClass::Call | EventClass::Reporting, EventClass::Call},
    {"coreshowchannels", EventClass::System | EventClass::Reporting, 0},
    {"hangup", EventClass::System | EventClass::Call, EventClass::Call},
    {"queuepause", EventClass::Agent, EventClass::Agent},
};

// What the PBX takes for yes: yes, true, y, t, 1, on in any letter case.
bool isTrue(std::string_view value)
{
    const std::string word = lower(value);
    return word == "yes" || word == "true" || word == "y" || word == "t" || word == "1" ||
           word == "on";
}

// A Hangup's Cause, as the PBX reads it: a number from 1 to 127 sets the cause; anything else
// leaves it unset.
int hangupCause(std::string_view value)
{
    if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos ||
        value.size() > 3)
        return -1;
    const int cause = readCause(value);
    return cause > 0 ? cause : -1;
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

std::string answer(std::string_view response, std::string_view message, std::string_view actionId)
{
    std::string out = "Response: ";
    out += response;
    out += "\r\n";
    out += actionIdLine(actionId);
    out += "Message: ";
    out += message;
    out += "\r\n\r\n";
    return out;
}

ManagerSession::ManagerSession(const SessionOptions& sessionOptions, CallTable& calls,
                               QueueTable* queueTable)
    : options(sessionOptions)
    , table(calls)
    , queues(queueTable)
    , style(eventStyleFor(sessionOptions.greetingVersion))
    , bridgeUnlink(unlinksAsBridge(sessionOptions.greetingVersion))
{}

ManagerSession::~ManagerSession()
{
    table.unsubscribe(this);
    if (queues != nullptr)
        queues->unsubscribe(this);
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

void ManagerSession::queueChanged(const QueueChange& change)
{
    if (bLoggedIn && !bFinished && eventClasses != 0)
        appendQueueEvents(events, change, style, eventClasses);
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

bool ManagerSession::allowed(std::string_view action) const
{
    for (const Authority& authority : Authorities) {
        if (authority.action != action)
            continue;
        if (style == EventStyle::Pbx14)
            return (rights & authority.needsOn14) == authority.needsOn14;
        return (rights & authority.needs) != 0;
    }
    return true;
}

void ManagerSession::handle(const Action& action, std::int64_t now, std::vector<Output>& out)
{
    const std::string_view id = action.header("ActionID");
    if (action.lineTooLong) {
        out.push_back({answer("Error", "Failed to parse message: line too long", id)});
        return;
    }
    if (action.tooManyLines) {
        out.push_back({answer("Error", "Too many lines in message or allocation failure", id)});
        return;
    }
    const std::string name = lower(action.header("Action", true));
    if (name.empty()) {
        out.push_back({answer("Error", "Missing action in request", id)});
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
        out.push_back({answer("Goodbye", "Thanks for all the fish.", id), 0, true});
        bFinished = true;
        return;
    }
    if (!bLoggedIn) {
        out.push_back({answer("Error", "Permission denied", id)});
        return;
    }
    // The greeting's generation, as for the events: 1.4 has neither CoreShowChannels nor
    // QueueSummary.
    const bool known =
        name == "status" || name == "hangup" || name == "ping" || name == "queuestatus" ||
        name == "queuepause" ||
        ((name == "coreshowchannels" || name == "queuesummary") && style != EventStyle::Pbx14);
    if (!known) {
        out.push_back({answer("Error", "Invalid/unknown command", id)});
        return;
    }
    if (!allowed(name)) {
        out.push_back({answer("Error", "Permission denied", id)});
        return;
    }
    static const std::vector<Queue> NoQueues;
    const std::vector<Queue>& all = queues == nullptr ? NoQueues : queues->queues();
    const QueueQuery query{style, now, id, action.header("Queue"), action.header("Member")};
    if (name == "status") {
        Output status;
        if (options.longLine > 0)
            status.bytes = longLine(options.longLine);
        status.bytes += statusAnswer(table.calls(), options.dialect, now, id);
        out.push_back(std::move(status));
    } else if (name == "hangup") {
        hangup(action, out);
    } else if (name == "ping") {
        out.push_back({ping(action, now)});
    } else if (name == "coreshowchannels") {
        out.push_back(
            {coreShowChannelsAnswer(table.calls(), style == EventStyle::Current, now, id)});
    } else if (name == "queuestatus") {
        out.push_back({queueStatusAnswer(all, table, query)});
    } else if (name == "queuesummary") {
        out.push_back({queueSummaryAnswer(all, query)});
    } else {
        out.push_back({queuePause(action)});
    }
}

void ManagerSession::login(const Action& action, std::int64_t now, std::vector<Output>& out)
{
    const std::string_view id = action.header("ActionID");
    if (bLoggedIn) {
        out.push_back({answer("Success", "Already authenticated", id)});
        return;
    }
    // User names match without regard to case; the first user may do everything.
    const std::string name = lower(action.header("Username"));
    const std::string* secret = nullptr;
    unsigned classes = 0;
    if (name == lower(options.user)) {
        secret = &options.secret;
        classes = EventClass::All;
    }
    for (const ManagerUser& user : options.moreUsers) {
        if (secret == nullptr && name == lower(user.name)) {
            secret = &user.secret;
            classes = user.classes;
        }
    }
    // With AuthType MD5 the PBX checks only the Key against the challenge it issued.
    const bool md5 = lower(action.header("AuthType")) == "md5";
    const std::string_view key = action.header("Key");
    const bool proven = secret != nullptr && (md5 ? !key.empty() && !challenge.empty() &&
                                                        key == md5Hex(challenge + *secret)
                                                  : action.header("Secret") == *secret);
    if (options.refuseLogin || !proven) {
        // The PBX waits before it says no, then drops the connection; a hostile one floods it
        // first.
        out.push_back({answer("Error", "Authentication failed", id),
                       options.closeOnRefuse ? 0 : options.refuseDelayMs, true,
                       options.floodAfterRefuse});
        bFinished = true;
        return;
    }
    bLoggedIn = true;
    rights = classes;
    Output ok{answer("Success", "Authentication accepted", id)};
    const std::string_view wanted = action.header("Events");
    if (wanted.empty()) {
        // A real PBX would send every event here. The simulator stays quiet, as it always has for
        // such logins, but for the one event a current PBX sends first.
        if (options.dialect == Dialect::Modern && (rights & EventClass::System) != 0)
            ok.bytes +=
                "Event: FullyBooted\r\nPrivilege: system,all\r\nStatus: Fully Booted\r\n\r\n";
    } else if ((eventClasses = eventMask(wanted) & rights) != 0) {
        LoginFacts facts;
        facts.user = action.header("Username");
        facts.now = now;
        facts.uptime = options.bootTime != 0 && now > options.bootTime ? now - options.bootTime : 0;
        facts.localAddress = localAddress;
        facts.remoteAddress = remoteAddress;
        facts.sessionId = reinterpret_cast<std::uintptr_t>(this);
        appendLoginEvents(ok.bytes, style, eventClasses, facts);
        table.subscribe(this);
        if (queues != nullptr)
            queues->subscribe(this);
    }
    if (options.closeAfterLogin) {
        ok.closeAfter = true;
        bFinished = true;
    }
    out.push_back(std::move(ok));
}

void ManagerSession::challengeAction(const Action& action, std::vector<Output>& out)
{
    const std::string_view id = action.header("ActionID");
    if (options.challengeError) {
        out.push_back({answer("Error", ChallengeRefusal, id)});
        return;
    }
    if (lower(action.header("AuthType")) != "md5") {
        out.push_back({answer("Error", "Must specify AuthType", id)});
        return;
    }
    // The PBX keeps one challenge per connection: asking again gets the same number.
    if (challenge.empty())
        challenge = newChallenge();
    out.push_back(
        {"Response: Success\r\n" + actionIdLine(id) + "Challenge: " + challenge + "\r\n\r\n"});
}

std::string ManagerSession::ping(const Action& action, std::int64_t now) const
{
    const std::string echo = actionIdLine(action.header("ActionID"));
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
    const std::string_view id = action.header("ActionID");
    const std::string_view channel = action.header("Channel");
    // From 1.8 on (greeting 1.1, which the simulator plays as 1.8) a Hangup may say why; the
    // call then ends with that cause.
    const int cause = style == EventStyle::Pbx14 ? -1 : hangupCause(action.header("Cause"));
    std::string reply;
    if (channel.empty())
        reply = answer("Error", "No channel specified", id);
    else if (table.hangup(channel, true, cause))
        reply = answer("Success", "Channel Hungup", id);
    else
        reply = answer("Error", "No such channel", id);
    const bool unanswered = options.noHangupAnswer || nHangups < options.unansweredHangups;
    ++nHangups;
    if (!unanswered)
        out.push_back({std::move(reply)});
}

std::string ManagerSession::queuePause(const Action& action)
{
    const std::string_view id = action.header("ActionID");
    const std::string_view interface = action.header("Interface");
    const std::string_view pausedText = action.header("Paused");
    if (interface.empty() || pausedText.empty())
        return answer("Error", "Need 'Interface' and 'Paused' parameters.", id);
    const bool paused = isTrue(pausedText);
    // 1.4 takes no reason.
    const std::string_view reason = style == EventStyle::Pbx14 ? "" : action.header("Reason");
    if (queues == nullptr || !queues->pause(interface, action.header("Queue"), paused, reason))
        return answer("Error", "Interface not found", id);
    return answer("Success",
                  paused ? "Interface paused successfully" : "Interface unpaused successfully", id);
}

} // namespace pbxsim
