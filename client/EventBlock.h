#pragma once

#include "FirstLines.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvale {

class LiveCalls;

// The events that change the list, under the names of every PBX generation.
enum class CallEvent
{
    None,
    Other, // read to its end and ignored
    Newchannel,
    Newstate,
    NewCallerid, // "Newcallerid" up to 1.4
    Rename,      // Oldname/Newname up to 1.4, Channel/Newname later
    Hangup,      // the only event that ends a channel; HangupRequest does not
    Newexten,
    BridgeEnter, // a current PBX's bridges
    BridgeLeave,
    Bridge, // 1.6 to 11: Bridgestate Link or Unlink
    Link,   // up to 1.4
    Unlink  // up to 1.4, and the end of most bridges up to 1.8
};

CallEvent classifyEvent(std::string_view name);

// One event block, from its "Event:" line to its empty line. As in a status record, the first
// line of each key counts (FirstLines), and a further "Event:" line is an ordinary field. The
// fields are kept in reused strings, so reading an event allocates nothing once warm.
class EventBlock
{
public:
    void open(std::string_view eventName);
    bool isOpen() const { return kind != CallEvent::None; }
    CallEvent event() const { return kind; }
    void field(std::string_view key, std::string_view value);
    // At the empty line: tells `calls` what the event says, and closes. A current PBX writes
    // caller names C-escaped, as in its status records.
    void close(LiveCalls& calls, bool escapedNames);
    // Closes without applying (the rest of the block was lost).
    void abandon() { kind = CallEvent::None; }

private:
    enum Field : std::uint8_t
    {
        Channel,
        Oldname,
        Newname,
        CallerID,
        CallerIDNum,
        CallerIDName,
        Extension,
        Exten,
        Uniqueid,
        Linkedid,
        BridgeUniqueid,
        Bridgestate,
        Channel1,
        Channel2,
        ChannelStateDesc,
        State,
        Application,
        Cause,
        CauseText,
        FieldCount,
        NotRead = FieldCount
    };
    static Field classifyField(std::string_view key);
    bool has(Field which) const { return seen.has(which); }

    CallEvent kind = CallEvent::None;
    FirstLines<Field> seen;
    std::array<std::string, FieldCount> values;
    std::string name;
};

} // namespace corvale
