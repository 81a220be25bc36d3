#pragma once

#include "Call.h"
#include "CallGenerator.h"
#include "Fields.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pbxsim {

// The status record: 1.4's short one (legacy), 1.8 to 11's (Pbx18) or the current long one.
enum class Dialect
{
    Legacy,
    Modern,
    Pbx18
};

// The complete bytes a PBX sends in answer to "Action: CoreShowChannels" at time `now`: the list
// answer, one CoreShowChannel per call and CoreShowChannelsComplete, in the current form or (not
// `current`) in that of 1.8 to 11. A non-empty `actionId` is echoed in every block where the PBX
// writes it: right after each CoreShowChannel's Event line, in the completion last up to 11 and
// second since.
std::string coreShowChannelsAnswer(const std::vector<Call>& calls, bool current, std::int64_t now,
                                   std::string_view actionId);

// The complete bytes a PBX sends in answer to "Action: Status" for these calls at time `now`:
// the Response block, one Event: Status block per call and the StatusComplete block. A non-empty
// `actionId` follows the Response line, ends every record and follows StatusComplete's Event
// line. The names a dialect sends raw (1.4's and 1.8's caller and connected names, a current
// PBX's effective connected line) go out as they are, empty lines and all.
std::string statusAnswer(const std::vector<Call>& calls, Dialect dialect, std::int64_t now,
                         std::string_view actionId = {});

} // namespace pbxsim
