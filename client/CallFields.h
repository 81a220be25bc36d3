#pragma once

#include <optional>
#include <string_view>

namespace corvale {

// What an event says about a channel; a field it did not carry is left alone.
struct CallFields
{
    std::optional<std::string_view> number;
    std::optional<std::string_view> name;
    std::optional<std::string_view> extension;
    std::optional<std::string_view> linkedid{};
    std::optional<std::string_view> bridgeId{};
    std::optional<std::string_view> bridgedTo{};
    std::optional<std::string_view> state{};
    std::optional<std::string_view> application{};
};

} // namespace corvale
