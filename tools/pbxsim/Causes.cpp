#include "Causes.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace pbxsim {

namespace {

// The PBX's own table of hangup causes and their texts (Q.850), in order.
constexpr std::array<std::pair<int, std::string_view>, 49> Texts = {{
    {1, "Unallocated (unassigned) number"},
    {2, "No route to specified transmit network"},
    {3, "No route to destination"},
    {5, "Misdialed trunk prefix"},
    {6, "Channel unacceptable"},
    {7, "Call awarded and being delivered in an established channel"},
    {8, "Pre-empted"},
    {14, "Number ported elsewhere"},
    {16, "Normal Clearing"},
    {17, "User busy"},
    {18, "No user responding"},
    {19, "User alerting, no answer"},
    {20, "Subscriber absent"},
    {21, "Call Rejected"},
    {22, "Number changed"},
    {23, "Redirected to new destination"},
    {26, "Answered elsewhere"},
    {27, "Destination out of order"},
    {28, "Invalid number format"},
    {29, "Facility rejected"},
    {30, "Response to STATus ENQuiry"},
    {31, "Normal, unspecified"},
    {34, "Circuit/channel congestion"},
    {38, "Network out of order"},
    {41, "Temporary failure"},
    {42, "Switching equipment congestion"},
    {43, "Access information discarded"},
    {44, "Requested channel not available"},
    {50, "Facility not subscribed"},
    {52, "Outgoing call barred"},
    {54, "Incoming call barred"},
    {57, "Bearer capability not authorized"},
    {58, "Bearer capability not available"},
    {65, "Bearer capability not implemented"},
    {66, "Channel not implemented"},
    {69, "Facility not implemented"},
    {81, "Invalid call reference value"},
    {88, "Incompatible destination"},
    {95, "Invalid message unspecified"},
    {96, "Mandatory information element is missing"},
    {97, "Message type nonexist."},
    {98, "Wrong message"},
    {99, "Info. element nonexist or not implemented"},
    {100, "Invalid information element contents"},
    {101, "Message not compatible with call state"},
    {102, "Recover on timer expiry"},
    {103, "Mandatory IE length error"},
    {111, "Protocol error, unspecified"},
    {127, "Interworking, unspecified"},
}};

constexpr std::array<std::pair<std::string_view, int>, 4> Names = {{{"normal", Cause::Normal},
                                                                    {"busy", Cause::Busy},
                                                                    {"noanswer", Cause::NoAnswer},
                                                                    {"rejected", Cause::Rejected}}};

} // namespace

std::string_view causeText(int cause)
{
    const auto it = std::lower_bound(Texts.begin(), Texts.end(), cause,
                                     [](const auto& row, int value) { return row.first < value; });
    return it != Texts.end() && it->first == cause ? it->second : "Unknown";
}

int readCause(std::string_view text)
{
    for (const auto& [name, cause] : Names) {
        if (text == name)
            return cause;
    }
    int cause = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), cause);
    return ec == std::errc() && end == text.data() + text.size() && cause >= 0 && cause <= 127
               ? cause
               : -1;
}

} // namespace pbxsim
