#include "ActionReader.h"

#include <cctype>
#include <cstring>

namespace pbxsim {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (std::tolower(x) != std::tolower(y))
            return false;
    }
    return true;
}

} // namespace

std::string_view Action::header(std::string_view key, bool skipEmpty) const
{
    for (const std::string& line : lines) {
        const std::string_view text(line);
        if (text.size() <= key.size() || text[key.size()] != ':' ||
            !equalsNoCase(text.substr(0, key.size()), key))
            continue;
        std::string_view value = text.substr(key.size() + 1);
        const std::size_t start = value.find_first_not_of(" \t");
        value = start == std::string_view::npos ? std::string_view() : value.substr(start);
        if (skipEmpty && value.empty())
            continue;
        return value;
    }
    return {};
}

void ActionReader::feed(std::string_view bytes, std::vector<Action>& done)
{
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const void* lf = std::memchr(bytes.data() + pos, '\n', bytes.size() - pos);
        const std::size_t end =
            lf == nullptr ? bytes.size()
                          : static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.data());
        if (!cut) {
            std::string_view piece = bytes.substr(pos, end - pos);
            const std::size_t nul = piece.find('\0');
            if (nul != std::string_view::npos) {
                piece = piece.substr(0, nul);
                cut = true;
            }
            line.append(piece);
            if (line.size() > MaxLine) {
                line.clear();
                current.lineTooLong = true;
                cut = true;
                dropLine = true;
            }
        }
        if (lf == nullptr)
            break;
        endLine(done);
        pos = end + 1;
    }
}

void ActionReader::endLine(std::vector<Action>& done)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    const bool dropped = dropLine;
    cut = false;
    dropLine = false;
    if (dropped) {
        // The over-long line is gone; the action goes on and is refused when it ends.
    } else if (line.empty()) {
        done.push_back(std::move(current));
        current = Action();
    } else {
        if (current.lines.size() < MaxHeaders)
            current.lines.push_back(std::move(line));
        else
            current.tooManyLines = true;
    }
    line.clear();
}

} // namespace pbxsim
