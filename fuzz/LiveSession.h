#pragma once

#include "FuzzSession.h"
#include "LiveCalls.h"
#include "ManagerClient.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <locale>
#include <map>
#include <string>
#include <vector>

namespace corvale::fuzz {

// Plays one fuzz input as a script of what happens on a PBX: channels come, go and are renamed,
// and now and then the operator asks for a listing. Each step is written as the PBX of one
// generation writes it (1.4, 1.6 to 11, or 12 and later, listing with Status or
// CoreShowChannels), some caller names carrying whole lines
// (a greeting, a login's verdict, an answer, an event of another channel) where that PBX writes
// them raw, and the bytes reach a live-mode client in chunks the input chooses. After every step
// the client's calls must be exactly the channels of a plain model kept from the same script, and
// the client must have sent nothing but its login and Status, opened no message and not ended.
class LiveSession
{
public:
    LiveSession();

    // Returns what went wrong first, or an empty string.
    std::string run(const std::uint8_t* data, std::size_t size);

    // Runs after each step, before the comparison; tests use it to break the client's calls and
    // see the check catch it.
    std::function<void(LiveCalls&)> afterStep;

private:
    enum class Generation
    {
        V14,
        V18,
        Current
    };

    void deliver(const std::string& bytes);
    void compare(const char* step);
    std::string record(const std::string& channel, const std::string& name) const;
    std::string event(const char* name, const std::string& channel,
                      const std::string& callerName) const;
    std::string renameEvent(const std::string& from, const std::string& to) const;
    std::string injected(std::uint8_t choice) const;
    std::string coreShowChannels() const;
    bool rawNames() const { return generation != Generation::Current; }
    void fail(std::string what);

    RecordingWindow window;
    LiveCalls calls;
    ManagerClient client;
    Generation generation = Generation::Current;
    std::map<std::string, int> model; // the channels that exist, with how often they came
    std::vector<std::uint8_t> chunkSizes;
    std::size_t nextChunk = 0;
    int nLogins = 0;
    bool bCoreShowChannels = false; // a current PBX listed with CoreShowChannels
    std::string failure;
};

} // namespace corvale::fuzz
