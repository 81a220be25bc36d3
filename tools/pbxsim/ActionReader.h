#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pbxsim {

// One action as the PBX received it: its header lines, unparsed, in order.
struct Action
{
    std::vector<std::string> lines;
    bool lineTooLong = false;  // a line was cut off: the PBX refuses the whole action
    bool tooManyLines = false; // lines beyond MaxHeaders were dropped

    // The value of the first header named `key` (letter case ignored), blanks after the colon
    // skipped; empty when there is none. With skipEmpty, headers with an empty value are passed
    // over, as the PBX does when it looks for the Action header.
    std::string_view header(std::string_view key, bool skipEmpty = false) const;
};

// Cuts received bytes into actions the way the PBX's manager does: a header line ends at CR LF
// or at a lone LF (a lone CR stays in the line), a NUL cuts the rest of its line off, and an
// empty line ends the action.
class ActionReader
{
public:
    static constexpr std::size_t MaxLine = 1024;
    static constexpr std::size_t MaxHeaders = 128;

    // Appends each action that the bytes complete to `done`, in order.
    void feed(std::string_view bytes, std::vector<Action>& done);

private:
    void endLine(std::vector<Action>& done);

    Action current;
    std::string line;
    bool cut = false;      // a NUL or the length limit ended the line early; drop bytes until LF
    bool dropLine = false; // the line went over MaxLine
};

} // namespace pbxsim
