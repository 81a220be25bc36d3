#include "Events.h"
#include "Fields.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <utility>

// What a session chooses to hear and is told on its own: the generation, the classes, the login's
// and the restart's events.
namespace pbxsim {

namespace {

constexpr std::array<std::pair<std::string_view, unsigned>, 21> ClassNames = {{
    {"system", 1u << 0},     {"call", 1u << 1},        {"log", 1u << 2},
    {"verbose", 1u << 3},    {"command", 1u << 4},     {"agent", 1u << 5},
    {"user", 1u << 6},       {"config", 1u << 7},      {"dtmf", 1u << 8},
    {"reporting", 1u << 9},  {"cdr", 1u << 10},        {"dialplan", 1u << 11},
    {"originate", 1u << 12}, {"agi", 1u << 13},        {"cc", 1u << 15},
    {"aoc", 1u << 16},       {"test", 1u << 17},       {"security", 1u << 18},
    {"message", 1u << 30},   {"all", EventClass::All}, {"none", 0},
}};

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool anyOf(std::string_view value, std::initializer_list<std::string_view> words)
{
    for (const std::string_view word : words) {
        if (equalsNoCase(value, word))
            return true;
    }
    return false;
}

} // namespace

EventStyle eventStyleFor(std::string_view greetingVersion)
{
    unsigned major = 0;
    unsigned minor = 0;
    const char* first = greetingVersion.data();
    const char* last = first + greetingVersion.size();
    auto [next, ec] = std::from_chars(first, last, major);
    if (ec != std::errc())
        return EventStyle::Current;
    if (next != last && *next == '.')
        std::from_chars(next + 1, last, minor);
    if (major >= 2)
        return EventStyle::Current;
    if (major == 1 && minor == 0)
        return EventStyle::Pbx14;
    return major == 1 && minor >= 3 ? EventStyle::Pbx11 : EventStyle::Pbx16;
}

unsigned eventMask(std::string_view value)
{
    if (value.empty())
        return EventClass::All;
    if (value.find_first_not_of("0123456789") == std::string_view::npos) {
        unsigned long long bits = 0;
        std::from_chars(value.data(), value.data() + value.size(), bits);
        return static_cast<unsigned>(bits & EventClass::All);
    }
    if (anyOf(value, {"off", "no", "false", "n", "f"}))
        return 0;
    if (anyOf(value, {"on", "yes", "true", "y", "t"}))
        return EventClass::All;
    unsigned mask = 0;
    std::size_t pos = 0;
    while (pos <= value.size()) {
        const std::size_t comma = std::min(value.find(',', pos), value.size());
        const std::string_view name = value.substr(pos, comma - pos);
        for (const auto& [known, bits] : ClassNames) {
            if (name == known)
                mask |= bits;
        }
        pos = comma + 1;
    }
    return mask;
}

bool unlinksAsBridge(std::string_view greetingVersion)
{
    const EventStyle style = eventStyleFor(greetingVersion);
    return style == EventStyle::Pbx11 ||
           (style == EventStyle::Pbx16 && greetingVersion.substr(0, 3) == "1.2");
}

void appendLoginEvents(std::string& out, EventStyle style, unsigned mask, const LoginFacts& facts)
{
    if (style == EventStyle::Pbx14)
        return;
    if ((mask & EventClass::System) != 0) {
        eventHead(out, "FullyBooted", "system,all");
        if (style == EventStyle::Current) {
            field(out, "Uptime", std::to_string(facts.uptime));
            field(out, "LastReload", std::to_string(facts.uptime));
        }
        field(out, "Status", "Fully Booted");
        out += "\r\n";
    }
    if (style == EventStyle::Current && (mask & EventClass::Security) != 0) {
        const std::time_t seconds = static_cast<std::time_t>(facts.now);
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        char when[40];
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S.000+0000", &utc);
        char session[24];
        std::snprintf(session, sizeof session, "0x%llx",
                      static_cast<unsigned long long>(facts.sessionId));
        eventHead(out, "SuccessfulAuth", "security,all");
        field(out, "EventTV", when);
        field(out, "Severity", "Informational");
        field(out, "Service", "AMI");
        field(out, "EventVersion", "1");
        field(out, "AccountID", facts.user);
        field(out, "SessionID", session);
        field(out, "LocalAddress", "IPV4/TCP/" + std::string(facts.localAddress));
        field(out, "RemoteAddress", "IPV4/TCP/" + std::string(facts.remoteAddress));
        field(out, "UsingPassword", "0");
        field(out, "SessionTV", when);
        out += "\r\n";
    }
}

void appendShutdownEvent(std::string& out)
{
    eventHead(out, "Shutdown", "system,all");
    field(out, "Shutdown", "Cleanly");
    field(out, "Restart", "True");
    out += "\r\n";
}

} // namespace pbxsim
