#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Lines as the PBX sends them: each followed by CR LF.
inline std::string wire(std::initializer_list<std::string_view> lines)
{
    std::string out;
    for (const auto line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}
