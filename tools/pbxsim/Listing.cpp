#include "Listing.h"

namespace pbxsim {

namespace {

std::int64_t secondsUp(const Call& call, std::int64_t now)
{
    return now > call.startedAt ? now - call.startedAt : 0;
}

void modernRecord(std::string& out, const Call& call, std::int64_t now)
{
    const ChannelTraits traits = traitsOf(call);
    field(out, "Event", "Status");
    field(out, "Privilege", "Call");
    channelBlock(out, ChannelView{call});
    field(out, "Type", channelType(call.channel));
    field(out, "DNID", traits.dnid);
    // Unlike the connected line in the block above, the effective one goes out unescaped.
    field(out, "EffectiveConnectedLineNum", orUnknown(call.connectedNum));
    field(out, "EffectiveConnectedLineName", orUnknown(call.connectedName));
    field(out, "TimeToHangup", "0");
    field(out, "BridgeID", call.bridgeId);
    field(out, "Application", traits.application);
    field(out, "Data", traits.data);
    out += "Nativeformats: (";
    out += traits.format;
    out += ")\r\n";
    field(out, "Readformat", traits.format);
    field(out, "Readtrans", "");
    field(out, "Writeformat", traits.format);
    field(out, "Writetrans", "");
    field(out, "Callgroup", "0");
    field(out, "Pickupgroup", "0");
    field(out, "Seconds", std::to_string(secondsUp(call, now)));
}

// Older versions send names raw: whatever the caller set reaches the wire unchanged.
void legacyRecord(std::string& out, const Call& call, std::int64_t now)
{
    field(out, "Event", "Status");
    field(out, "Privilege", "Call");
    field(out, "Channel", call.channel);
    field(out, "CallerID", orUnknown(call.callerNum));
    field(out, "CallerIDNum", orUnknown(call.callerNum));
    field(out, "CallerIDName", orUnknown(call.callerName));
    field(out, "Account", "");
    field(out, "State", "Up");
    field(out, "Context", call.context);
    field(out, "Extension", call.extension);
    field(out, "Priority", traitsOf(call).priority);
    field(out, "Seconds", std::to_string(secondsUp(call, now)));
    field(out, "Link", call.bridgedTo);
    field(out, "Uniqueid", call.uniqueid);
}

// 1.8 to 11, for a channel in the dialplan: connected line fields, the state as a number and a
// text, and the bridged peer only when there is one. Names are sent raw.
void pbx18Record(std::string& out, const Call& call, std::int64_t now)
{
    field(out, "Event", "Status");
    field(out, "Privilege", "Call");
    field(out, "Channel", call.channel);
    field(out, "CallerIDNum", orUnknown(call.callerNum));
    field(out, "CallerIDName", orUnknown(call.callerName));
    field(out, "ConnectedLineNum", orUnknown(call.connectedNum));
    field(out, "ConnectedLineName", orUnknown(call.connectedName));
    field(out, "Accountcode", "");
    field(out, "ChannelState", "6");
    field(out, "ChannelStateDesc", "Up");
    field(out, "Context", call.context);
    field(out, "Extension", call.extension);
    field(out, "Priority", traitsOf(call).priority);
    field(out, "Seconds", std::to_string(secondsUp(call, now)));
    if (!call.bridgedTo.empty()) {
        field(out, "BridgedChannel", call.bridgedTo);
        field(out, "BridgedUniqueid", call.bridgedUniqueid);
    }
    field(out, "Uniqueid", call.uniqueid);
}

} // namespace

std::string coreShowChannelsAnswer(const std::vector<Call>& calls, bool current, std::int64_t now,
                                   std::string_view actionId)
{
    const std::string id = actionIdLine(actionId);
    std::string out;
    out.reserve(256 + calls.size() * (current ? 460 : 400));
    field(out, "Response", "Success");
    out += id;
    field(out, "EventList", "start");
    field(out, "Message", "Channels will follow");
    out += "\r\n";
    for (const Call& call : calls) {
        const ChannelTraits traits = traitsOf(call);
        const std::string up = duration(secondsUp(call, now));
        field(out, "Event", "CoreShowChannel");
        out += id;
        if (current) {
            // Every name escaped here, unlike Status.
            channelBlock(out, ChannelView{call});
            field(out, "Application", traits.application);
            field(out, "ApplicationData", traits.data);
            field(out, "Duration", up);
            field(out, "BridgeId", call.bridgeId);
        } else {
            // Up to 11 names go out raw, and unset ones empty.
            field(out, "Channel", call.channel);
            field(out, "UniqueID", call.uniqueid);
            field(out, "Context", call.context);
            field(out, "Extension", call.extension);
            field(out, "Priority", traits.priority);
            field(out, "ChannelState", "6");
            field(out, "ChannelStateDesc", "Up");
            field(out, "Application", traits.application);
            field(out, "ApplicationData", traits.data);
            field(out, "CallerIDnum", call.callerNum);
            field(out, "CallerIDname", call.callerName);
            field(out, "ConnectedLineNum", call.connectedNum);
            field(out, "ConnectedLineName", call.connectedName);
            field(out, "Duration", up);
            field(out, "AccountCode", "");
            field(out, "BridgedChannel", call.bridgedTo);
            field(out, "BridgedUniqueID", call.bridgedUniqueid);
        }
        out += "\r\n";
    }
    field(out, "Event", "CoreShowChannelsComplete");
    if (current)
        out += id;
    field(out, "EventList", "Complete");
    field(out, "ListItems", std::to_string(calls.size()));
    if (!current)
        out += id;
    out += "\r\n";
    return out;
}

std::string statusAnswer(const std::vector<Call>& calls, Dialect dialect, std::int64_t now,
                         std::string_view actionId)
{
    const bool modern = dialect == Dialect::Modern;
    const std::string id = actionIdLine(actionId);
    std::string out;
    out.reserve(256 + calls.size() * (modern ? 720 : 340) + calls.size() * id.size());
    field(out, "Response", "Success");
    out += id;
    if (modern)
        field(out, "EventList", "start");
    field(out, "Message", "Channel status will follow");
    out += "\r\n";
    for (const Call& call : calls) {
        if (modern)
            modernRecord(out, call, now);
        else if (dialect == Dialect::Pbx18)
            pbx18Record(out, call, now);
        else
            legacyRecord(out, call, now);
        out += id;
        out += "\r\n";
    }
    const std::string items = std::to_string(calls.size());
    field(out, "Event", "StatusComplete");
    out += id;
    if (modern) {
        field(out, "EventList", "Complete");
        field(out, "ListItems", items);
    }
    field(out, "Items", items);
    out += "\r\n";
    return out;
}

} // namespace pbxsim
