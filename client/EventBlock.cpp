#include "EventBlock.h"

#include "LiveCalls.h"
#include "ManagerClient.h"

namespace corvale {

CallEvent classifyEvent(std::string_view name)
{
    switch (name.size()) {
    case 6:
        if (name == "Rename")
            return CallEvent::Rename;
        if (name == "Hangup")
            return CallEvent::Hangup;
        break;
    case 8:
        if (name == "Newstate")
            return CallEvent::Newstate;
        if (name == "Newexten")
            return CallEvent::Newexten;
        break;
    case 10:
        if (name == "Newchannel")
            return CallEvent::Newchannel;
        break;
    case 11:
        if (name == "NewCallerid" || name == "Newcallerid")
            return CallEvent::NewCallerid;
        break;
    default:
        break;
    }
    return CallEvent::Other;
}

EventBlock::Field EventBlock::classifyField(std::string_view key)
{
    switch (key.size()) {
    case 5:
        if (key == "Exten")
            return Exten;
        break;
    case 7:
        if (key == "Channel")
            return Channel;
        if (key == "Oldname")
            return Oldname;
        if (key == "Newname")
            return Newname;
        break;
    case 8:
        if (key == "CallerID")
            return CallerID;
        if (key == "Uniqueid")
            return Uniqueid;
        break;
    case 9:
        if (key == "Extension")
            return Extension;
        break;
    case 11:
        if (key == "CallerIDNum")
            return CallerIDNum;
        break;
    case 12:
        if (key == "CallerIDName")
            return CallerIDName;
        break;
    default:
        break;
    }
    return NotRead;
}

void EventBlock::open(std::string_view eventName)
{
    kind = classifyEvent(eventName);
    seen = 0;
}

void EventBlock::field(std::string_view key, std::string_view value)
{
    if (kind == CallEvent::Other)
        return;
    const Field which = classifyField(key);
    if (which == NotRead || has(which))
        return;
    seen |= 1u << which;
    values[which].assign(value);
}

void EventBlock::close(LiveCalls& calls, bool escapedNames)
{
    const CallEvent what = kind;
    kind = CallEvent::None;
    if (what == CallEvent::Other)
        return;

    // The same choices as for a status record: CallerID (the number up to 1.4) before
    // CallerIDNum, Extension before Exten.
    CallFields fields;
    if (has(CallerID))
        fields.number = values[CallerID];
    else if (has(CallerIDNum))
        fields.number = values[CallerIDNum];
    if (has(CallerIDName)) {
        if (escapedNames) {
            unescapeName(values[CallerIDName], name);
            fields.name = name;
        } else {
            fields.name = values[CallerIDName];
        }
    }
    if (has(Extension))
        fields.extension = values[Extension];
    else if (has(Exten))
        fields.extension = values[Exten];

    const std::string_view channel = has(Channel) ? values[Channel] : std::string_view();
    const std::string_view uniqueid = has(Uniqueid) ? values[Uniqueid] : std::string_view();
    if (what == CallEvent::Rename) {
        calls.renamed(has(Oldname) ? values[Oldname] : channel,
                      has(Newname) ? values[Newname] : std::string_view());
        return;
    }
    if (channel.empty())
        return;
    switch (what) {
    case CallEvent::Newchannel:
        calls.appeared(channel, fields, uniqueid);
        break;
    case CallEvent::Newstate:
    case CallEvent::NewCallerid:
    case CallEvent::Newexten:
        calls.described(channel, fields, uniqueid);
        break;
    case CallEvent::Hangup:
        calls.hungUp(channel);
        break;
    default:
        break;
    }
}

} // namespace corvale
