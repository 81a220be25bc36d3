#pragma once

#include "CallFields.h"
#include "FieldLexing.h"
#include "FirstLines.h"

#include <string>
#include <string_view>

namespace corvale {

// The open record of a listing: a Status record of any PBX generation, or a current PBX's
// CoreShowChannel. It keeps what an entry or a live call is made of; the first line of each key
// counts (FirstLines). An entry's number is CallerID (up to 1.4) before CallerIDNum, its
// extension Extension before Exten, its state ChannelStateDesc before State.
class StatusRecord
{
public:
    // `coreShowChannel`: a CoreShowChannel record, whose duration is Duration, not Seconds.
    // `currentPbx`: names arrive C-escaped, and the raw field comes late in the record.
    void open(bool coreShowChannel, bool currentPbx);
    void close() { bInStatus = false; }
    bool isOpen() const { return bInStatus; }

    // Takes one line's field. Returns true when that field ends the record: an older PBX's
    // Status record ends at its Uniqueid. Most lines of a record are fields no entry is made of,
    // so those cost no call.
    bool field(Key which, std::string_view value)
    {
        return which != Key::Other && take(which, value);
    }

    // An empty line inside the first field the PBX sends raw (a current PBX's
    // EffectiveConnectedLineName, an older one's CallerIDName) ended the record's block early.
    // Only what the record said before that field is its own: the rest is the caller's text.
    void cut();

    std::string_view channel() const { return text(Key::Channel, sChannel); }
    std::string_view number() const;
    std::string_view name() const { return text(Key::CallerIDName, sCallerIDName); }
    std::string_view extension() const;
    // The PBX's seconds as text; empty when the record gave none.
    std::string_view seconds() const;
    std::string_view uniqueid() const { return text(Key::Uniqueid, sUniqueid); }
    // Everything the record said, a field it left out (or said after a cut) empty.
    CallFields fields() const;

private:
    bool take(Key which, std::string_view value);
    std::string_view text(Key which, const std::string& value) const
    {
        return seen.has(which) ? std::string_view(value) : std::string_view();
    }

    bool bInStatus = false;
    bool bCore = false;
    bool bCurrent = false;
    bool bRawSeen = false;
    Key rawKey = Key::None; // the first field a caller can fill with whole lines
    FirstLines<Key> seen;
    FirstLines<Key> head; // what had been seen when the raw field began

    std::string sChannel;
    std::string sCallerID;
    std::string sCallerIDNum;
    std::string sCallerIDName; // unescaped
    std::string sExtension;
    std::string sExten;
    std::string sSeconds; // from Seconds, or a CoreShowChannel's Duration
    std::string sUniqueid;
    std::string sLinkedid;
    std::string sBridgeId;
    std::string sBridgedChannel;
    std::string sLink;
    std::string sStateDesc;
    std::string sState;
    std::string sApplication;
};

} // namespace corvale
