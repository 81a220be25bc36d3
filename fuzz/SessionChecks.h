#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvale::fuzz {

// The rules every conversation must keep, whatever the PBX sends. Each check returns an empty
// string when the rule holds, otherwise what broke it.

// The unfinished line the client keeps: never a whole line, never beyond the framer's bound.
std::string checkBuffer(std::string_view buffer);

// Whether `line` may close a status record and so produce an entry: "Uniqueid" ends a record of
// an old PBX, the empty line one of a current PBX.
bool isRecordClosingLine(std::string_view line, bool currentPbx);
// Whether `line` is the completion event, which may add the "no calls" entry.
bool isStatusCompleteLine(std::string_view line);
// Whether `line` is the PBX's report of a rejected login, the one reason to end the program
// besides a refused challenge.
bool isRejectedLoginLine(std::string_view line);
// Whether `line` ends the PBX's answer to an action: its empty line, or the next answer's start.
bool isAnswerEndLine(std::string_view line);

// A listing as the client sends it: Status or CoreShowChannels with an ActionID, a safe value and
// nothing else. Returns the ActionID, or nothing when `action` is not that.
std::optional<std::string> listingActionId(std::string_view action);

// An action sent in answer to a received line: the login with exactly this user and secret, or
// the listing. A login whose user or secret is unsafe must never be sent at all.
std::string checkLineAction(std::string_view action, std::string_view user,
                            std::string_view secret);
// The same for the challenge login: Status, the challenge, or the login with exactly this user
// and the key the window made. The secret's login is never right here.
std::string checkChallengeLineAction(std::string_view action, std::string_view user,
                                     std::string_view key);
// The action sent for a hangup of `channel`.
std::string checkHangupAction(std::string_view action, std::string_view channel);

// A header value that ends neither its line nor the action on the PBX's side.
bool isSafeValue(std::string_view value);

// Follows the received lines as status records and picks out every line that repeats, inside a
// record, a key the record has already set, or that is a further Event line within the record's
// own lines. A value holding CR LF arrives as such lines, and they must change nothing: a client
// given every line must ask of its window exactly what one given all but these asks. Written
// from the record rules, not from the client's code:
// - a record opens at "Event: Status" outside a record's own lines;
// - a current PBX's record ends at its empty line, an older PBX's at its Uniqueid;
// - a record's own lines run to its Seconds (current PBX, whose last field it is) or to its first
//   empty line (older PBX); after that an Event line is the PBX's again;
// - the keys an entry is made of count once, except an older PBX's CallerID and CallerIDName,
//   which have always been taken from their last line.
class RecordRepeats
{
public:
    // Takes every received line in order, with the dialect the client reads it in.
    bool isRepeat(std::string_view line, bool currentPbx);

private:
    bool bOpen = false;
    bool bBlockEnded = false;
    std::vector<std::string> keysSet;
};

} // namespace corvale::fuzz
