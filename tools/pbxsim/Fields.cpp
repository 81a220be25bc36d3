#include "Fields.h"

#include <cstdio>

namespace pbxsim {

std::string actionIdLine(std::string_view actionId)
{
    std::string line;
    if (!actionId.empty())
        field(line, "ActionID", actionId);
    return line;
}

std::string cEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        char escaped = 0;
        switch (c) {
        case '\a':
            escaped = 'a';
            break;
        case '\b':
            escaped = 'b';
            break;
        case '\f':
            escaped = 'f';
            break;
        case '\n':
            escaped = 'n';
            break;
        case '\r':
            escaped = 'r';
            break;
        case '\t':
            escaped = 't';
            break;
        case '\v':
            escaped = 'v';
            break;
        case '\\':
        case '\'':
        case '"':
        case '?':
            escaped = c;
            break;
        default:
            break;
        }
        if (escaped != 0) {
            out += '\\';
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

void channelBlock(std::string& out, const ChannelView& view, std::string_view prefix)
{
    const Call& call = view.call;
    const auto put = [&](std::string_view key, std::string_view value) {
        out += prefix;
        field(out, key, value);
    };
    put("Channel", view.channel);
    put("ChannelState", view.state.number);
    put("ChannelStateDesc", view.state.text);
    put("CallerIDNum", orUnknown(view.number));
    put("CallerIDName", view.name.empty() ? std::string(Unknown) : cEscape(view.name));
    put("ConnectedLineNum", orUnknown(call.connectedNum));
    put("ConnectedLineName",
        call.connectedName.empty() ? std::string(Unknown) : cEscape(call.connectedName));
    put("Language", "en");
    put("AccountCode", "");
    put("Context", call.context);
    put("Exten", call.extension);
    put("Priority", view.priority);
    put("Uniqueid", view.uniqueid);
    put("Linkedid", view.uniqueid == call.uniqueid ? linkedidOf(call) : view.uniqueid);
}

std::string duration(std::int64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds % 3600 / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

} // namespace pbxsim
