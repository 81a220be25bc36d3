// libFuzzer target: any bytes from the PBX, in any chunks, must leave the client within its
// rules, and live mode's calls must follow the channels. See FuzzSession and LiveSession for what
// is checked.
#include "FuzzSession.h"
#include "LiveSession.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <stdexcept>

namespace {

// Durations are also formatted under German conventions (comma, dot grouping), when the machine
// has that locale; built once, since building a locale is slow.
const std::locale& germanOrClassic()
{
    static const std::locale numbers = [] {
        try {
            return std::locale("de_DE.UTF-8");
        } catch (const std::runtime_error&) {
            return std::locale::classic();
        }
    }();
    return numbers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool german = size > 0 && (data[size - 1] & 4) != 0;
    corvale::fuzz::FuzzSession session(german ? germanOrClassic() : std::locale::classic());
    std::string failure = session.run(data, size);
    if (failure.empty()) {
        // The same bytes read as a script of channels coming and going, for live mode.
        corvale::fuzz::LiveSession live;
        failure = live.run(data, size);
    }
    if (!failure.empty()) {
        std::fprintf(stderr, "\nCORVALE FUZZ VIOLATION: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
