#include "QueueActions.h"

#include "Wire.h"

namespace corvale {

namespace {

void header(std::string& text, std::string_view key, std::string_view value)
{
    text += key;
    text += ": ";
    text += value;
    text += "\r\n";
}

std::optional<std::string> listing(std::string_view action, std::string_view actionId,
                                   std::string_view queue)
{
    if (!isSafeHeaderValue(actionId) || !isSafeHeaderValue(queue))
        return std::nullopt;
    std::string text;
    text.reserve(48 + actionId.size() + queue.size());
    header(text, "Action", action);
    if (!queue.empty())
        header(text, "Queue", queue);
    header(text, "ActionID", actionId);
    text += "\r\n";
    return text;
}

} // namespace

std::optional<std::string> queuePauseAction(std::string_view interface, bool paused,
                                            std::string_view queue, std::string_view reason)
{
    if (!isSafeHeaderValue(interface) || !isSafeHeaderValue(queue) || !isSafeHeaderValue(reason))
        return std::nullopt;
    std::string text;
    text.reserve(64 + interface.size() + queue.size() + reason.size());
    header(text, "Action", "QueuePause");
    header(text, "Interface", interface);
    header(text, "Paused", paused ? "true" : "false");
    if (!queue.empty())
        header(text, "Queue", queue);
    if (!reason.empty())
        header(text, "Reason", reason);
    text += "\r\n";
    return text;
}

std::optional<std::string> queueStatusAction(std::string_view actionId, std::string_view queue)
{
    return listing("QueueStatus", actionId, queue);
}

std::optional<std::string> queueSummaryAction(std::string_view actionId, std::string_view queue)
{
    return listing("QueueSummary", actionId, queue);
}

} // namespace corvale
