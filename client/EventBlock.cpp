#include "EventBlock.h"

#include "FieldLexing.h"
#include "LiveCalls.h"

namespace corvale {

CallEvent classifyEvent(std::string_view name)
{
    switch (name.size()) {
    case 4:
        if (name == "Link")
            return CallEvent::Link;
        break;
    case 6:
        if (name == "Rename")
            return CallEvent::Rename;
        if (name == "Hangup")
            return CallEvent::Hangup;
        if (name == "Bridge")
            return CallEvent::Bridge;
        if (name == "Unlink")
            return CallEvent::Unlink;
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
        if (name == "BridgeEnter")
            return CallEvent::BridgeEnter;
        if (name == "BridgeLeave")
            return CallEvent::BridgeLeave;
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
        if (key == "State")
            return State;
        if (key == "Cause")
            return Cause;
        break;
    case 8:
        if (key == "CallerID")
            return CallerID;
        if (key == "Linkedid")
            return Linkedid;
        if (key == "Channel1")
            return Channel1;
        if (key == "Channel2")
            return Channel2;
        if (key == "Uniqueid")
            return Uniqueid;
        break;
    case 11:
        if (key == "CallerIDNum")
            return CallerIDNum;
        if (key == "Bridgestate")
            return Bridgestate;
        if (key == "Application")
            return Application;
        break;
    case 14:
        if (key == "BridgeUniqueid")
            return BridgeUniqueid;
        break;
    case 16:
        if (key == "ChannelStateDesc")
            return ChannelStateDesc;
        break;
    case 7:
        if (key == "Channel")
            return Channel;
        if (key == "Oldname")
            return Oldname;
        if (key == "Newname")
            return Newname;
        break;
    case 9:
        if (key == "Extension")
            return Extension;
        if (key == "Cause-txt")
            return CauseText;
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

namespace {

// A cause code (0 to 127 on every PBX); nothing when the text is not a small number.
std::optional<int> causeCode(std::string_view text)
{
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    int code = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        code = code * 10 + (c - '0');
    }
    return code;
}

} // namespace

void EventBlock::open(std::string_view eventName)
{
    kind = classifyEvent(eventName);
    seen.clear();
}

void EventBlock::field(std::string_view key, std::string_view value)
{
    if (kind == CallEvent::Other)
        return;
    const Field which = classifyField(key);
    if (which == NotRead || !seen.take(which))
        return;
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

    if (has(Linkedid))
        fields.linkedid = values[Linkedid];
    // The state as text: ChannelStateDesc from 1.6 on, State up to 1.4.
    if (has(ChannelStateDesc))
        fields.state = values[ChannelStateDesc];
    else if (has(State))
        fields.state = values[State];
    if (what == CallEvent::Newexten && has(Application))
        fields.application = values[Application];

    const auto value = [this](Field which) {
        return has(which) ? std::string_view(values[which]) : std::string_view();
    };
    switch (what) {
    case CallEvent::Link:
        calls.linked(value(Channel1), value(Channel2));
        return;
    case CallEvent::Unlink:
        calls.unlinked(value(Channel1), value(Channel2));
        return;
    case CallEvent::Bridge:
        if (value(Bridgestate) == "Link")
            calls.linked(value(Channel1), value(Channel2));
        else if (value(Bridgestate) == "Unlink")
            calls.unlinked(value(Channel1), value(Channel2));
        return;
    default:
        break;
    }

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
        // Every generation ends a Hangup with Cause and Cause-txt.
        calls.hungUp(channel, causeCode(value(Cause)), value(CauseText));
        break;
    case CallEvent::BridgeEnter:
        if (has(BridgeUniqueid)) {
            fields.bridgeId = values[BridgeUniqueid];
            calls.described(channel, fields);
        }
        break;
    case CallEvent::BridgeLeave:
        calls.described(channel, fields);
        calls.leftBridge(channel, value(BridgeUniqueid));
        break;
    default:
        break;
    }
}

} // namespace corvale
