#pragma once

#include "Wire.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace corvale {

// The keys the client acts on; None for a line without a colon.
enum class Key : std::uint8_t
{
    None,
    Other,
    Response,
    Message,
    Event,
    Channel,
    CallerID,
    CallerIDNum,
    CallerIDName,
    Extension,
    Exten,
    Seconds,
    Uniqueid,
    Challenge,
    ActionID,
    Linkedid,
    BridgeId, // "BridgeID" in a status record, "BridgeId" in CoreShowChannel
    BridgedChannel,
    Link,
    ChannelStateDesc,
    State,
    Application,
    Duration,
    // Sent raw by a current PBX in every Status record: where a caller can cut it.
    EffectiveConnectedLineName,
    Count
};

// Splits "Key: value" at the first colon; the value loses the spaces (only spaces) at both
// ends. Returns false for a line without a colon. Inline: it runs for every line received.
inline bool splitField(std::string_view line, std::string_view& key, std::string_view& value)
{
    const void* colonAt = std::memchr(line.data(), ':', line.size());
    if (colonAt == nullptr)
        return false;
    const char* begin = line.data();
    const char* colon = static_cast<const char*>(colonAt);
    const char* end = begin + line.size();
    key = std::string_view(begin, static_cast<std::size_t>(colon - begin));
    const char* first = colon + 1;
    while (first != end && *first == ' ')
        ++first;
    while (end != first && end[-1] == ' ')
        --end;
    value = std::string_view(first, static_cast<std::size_t>(end - first));
    return true;
}
Key classifyKey(std::string_view key);
// Both at once: Key::None for a line without a colon.
inline Key lexField(std::string_view line, std::string_view& key, std::string_view& value)
{
    return splitField(line, key, value) ? classifyKey(key) : Key::None;
}

// Undoes the C-style escapes of a current PBX's caller names; an escaped control character
// becomes a space, so no entry ever holds a line break.
void unescapeName(std::string_view escaped, std::string& out);

// The PBX's first line, "Asterisk Call Manager/13.0.0", and its major version, which picks how
// records are read: 0 when it gives none that can be read.
bool isGreeting(std::string_view line);
int greetingVersion(std::string_view line);
int greetingMinorVersion(std::string_view line);

// "HH:MM:SS", the hours unbounded, as whole seconds in `out`; empty when it is not that.
void durationSeconds(std::string_view text, std::string& out);

} // namespace corvale
