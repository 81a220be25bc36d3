#include "CallTable.h"

#include <algorithm>
#include <cctype>

namespace pbxsim {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

CallTable::CallTable(std::vector<Call> initial)
    : active(std::move(initial))
{}

bool CallTable::hangup(std::string_view name)
{
    auto it = std::find_if(active.begin(), active.end(),
                           [name](const Call& call) { return equalsNoCase(call.channel, name); });
    if (it == active.end())
        it = std::find_if(active.begin(), active.end(),
                          [name](const Call& call) { return call.uniqueid == name; });
    if (it == active.end())
        return false;
    active.erase(it);
    return true;
}

} // namespace pbxsim
