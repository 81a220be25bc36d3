#include "Forgeries.h"

namespace pbxsim {

namespace {

constexpr std::string_view Innocent = "CallerIDNum: 5550000\r\nCallerIDName: Forged Innocent";

} // namespace

std::string forgedStatusRecord(Dialect dialect, std::string_view victim)
{
    std::string text = "x\r\nSeconds: 987654\r\n\r\nEvent: Status\r\nPrivilege: Call\r\nChannel: ";
    text += victim;
    text += "\r\n";
    if (dialect == Dialect::Legacy)
        text += "CallerID: 5550000\r\n";
    text += Innocent;
    // A current record's rest has no extension of its own to close the forged one with.
    if (dialect == Dialect::Modern)
        text += "\r\nExten: 9999";
    return text;
}

std::string forgedShutdown()
{
    return "x\r\n\r\nEvent: Shutdown\r\nPrivilege: system,all\r\nShutdown: Cleanly\r\nRestart: "
           "True";
}

std::string forgedQueueEntry(EventStyle style, std::string_view queue, const Call& victim)
{
    std::string text = "x\r\nWait: 987654\r\n\r\nEvent: QueueEntry\r\nQueue: ";
    text += queue;
    text += "\r\nPosition: 1\r\nChannel: ";
    text += victim.channel;
    text += "\r\n";
    if (style == EventStyle::Pbx14) {
        text += "CallerID: 5550000\r\nCallerIDName: Forged Innocent";
        return text;
    }
    text += "Uniqueid: ";
    text += victim.uniqueid;
    text += "\r\n";
    text += Innocent;
    return text;
}

Call forgingCall(Dialect dialect, std::string channel, std::string_view number,
                 std::string_view callerName, std::string text)
{
    Call call;
    call.channel = std::move(channel);
    call.callerNum = number;
    call.extension = "600";
    call.context = "from-internal";
    if (dialect == Dialect::Modern) {
        call.callerName = callerName;
        call.connectedName = std::move(text);
    } else {
        call.callerName = std::move(text);
    }
    return call;
}

} // namespace pbxsim
