#pragma once

#include <string>
#include <string_view>

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
// Whether `line` is the PBX's report of a rejected login, the one reason to end the program.
bool isRejectedLoginLine(std::string_view line);

// An action sent in answer to a received line: the login with exactly this user and secret, or
// Status. A login whose user or secret is unsafe must never be sent at all.
std::string checkLineAction(std::string_view action, std::string_view user,
                            std::string_view secret);
// The action sent for a hangup of `channel`.
std::string checkHangupAction(std::string_view action, std::string_view channel);

// A header value that ends neither its line nor the action on the PBX's side.
bool isSafeValue(std::string_view value);

} // namespace corvale::fuzz
