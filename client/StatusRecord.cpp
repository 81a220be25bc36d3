#include "StatusRecord.h"

namespace corvale {

void StatusRecord::open(bool coreShowChannel, bool currentPbx)
{
    bInStatus = true;
    bCore = coreShowChannel;
    bCurrent = currentPbx;
    bRawSeen = false;
    seen.clear();
    seen.take(Key::Event);
    // Where each generation sends its first raw text: a current Status record writes its own
    // channel block escaped, then the effective connected line raw; up to 11 the caller's name
    // comes raw right after the number. A current CoreShowChannel escapes every name, so any
    // cut is a PBX not known here, and only its channel and state are taken as its own.
    rawKey = coreShowChannel ? Key::CallerIDNum
             : currentPbx    ? Key::EffectiveConnectedLineName
                             : Key::CallerIDName;
}

bool StatusRecord::take(Key which, std::string_view value)
{
    if (!bRawSeen && which == rawKey) {
        head = seen;
        bRawSeen = true;
    }
    if (!seen.take(which))
        return false;
    switch (which) {
    case Key::Channel:
        sChannel = value;
        break;
    case Key::CallerID:
        sCallerID = value;
        break;
    case Key::CallerIDNum:
        sCallerIDNum = value;
        break;
    case Key::CallerIDName:
        if (bCurrent)
            unescapeName(value, sCallerIDName);
        else
            sCallerIDName = value;
        break;
    case Key::Extension:
        sExtension = value;
        break;
    case Key::Exten:
        sExten = value;
        break;
    case Key::Seconds:
        if (!bCore)
            sSeconds = value;
        break;
    case Key::Duration:
        if (bCore)
            durationSeconds(value, sSeconds);
        break;
    case Key::Linkedid:
        sLinkedid = value;
        break;
    case Key::BridgeId:
        sBridgeId = value;
        break;
    case Key::BridgedChannel:
        sBridgedChannel = value;
        break;
    case Key::Link:
        sLink = value;
        break;
    case Key::ChannelStateDesc:
        sStateDesc = value;
        break;
    case Key::State:
        sState = value;
        break;
    case Key::Application:
        sApplication = value;
        break;
    case Key::Uniqueid:
        sUniqueid = value;
        // A current PBX sends Seconds after Uniqueid; its records end at the empty line.
        return !bCurrent && !bCore;
    default:
        break;
    }
    return false;
}

void StatusRecord::cut()
{
    // A block cut before its raw field began (a field not known to be raw) keeps what it said.
    if (bRawSeen)
        seen = head;
}

std::string_view StatusRecord::number() const
{
    return seen.has(Key::CallerID) ? std::string_view(sCallerID)
                                   : text(Key::CallerIDNum, sCallerIDNum);
}

std::string_view StatusRecord::extension() const
{
    return seen.has(Key::Extension) ? std::string_view(sExtension) : text(Key::Exten, sExten);
}

std::string_view StatusRecord::seconds() const
{
    return text(bCore ? Key::Duration : Key::Seconds, sSeconds);
}

CallFields StatusRecord::fields() const
{
    CallFields out;
    out.number = number();
    out.name = name();
    out.extension = extension();
    out.linkedid = text(Key::Linkedid, sLinkedid);
    out.bridgeId = text(Key::BridgeId, sBridgeId);
    // 1.6 to 11 name the bridged channel BridgedChannel, 1.4 Link; a record has one of them.
    const std::string_view bridged = text(Key::BridgedChannel, sBridgedChannel);
    out.bridgedTo = bridged.empty() ? text(Key::Link, sLink) : bridged;
    // The text form of an older PBX; ChannelStateDesc, where there is one, says the same.
    out.state =
        seen.has(Key::ChannelStateDesc) ? std::string_view(sStateDesc) : text(Key::State, sState);
    out.application = text(Key::Application, sApplication);
    return out;
}

} // namespace corvale
