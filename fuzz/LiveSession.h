#pragma once

#include "FuzzSession.h"
#include "LiveCalls.h"
#include "ManagerClient.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <locale>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace corvale::fuzz {

// Plays one fuzz input as a script of what happens on a PBX: channels come, go and are renamed,
// and now and then the operator asks for a listing. Each step is written as the PBX of one
// generation writes it (1.4, 1.6 to 11, or 12 and later, listing with Status or
// CoreShowChannels), repeating each listing's ActionID or not, and some caller names carry whole
// lines where that PBX writes them raw (a greeting, a login's verdict, an answer, an event of
// another channel), or, in a run with cuts, an empty line and after it a forgery: a record of
// another channel with other fields, a fake channel, the listing's end, a Shutdown. The bytes
// reach a live-mode client in chunks the input chooses, and each listing by Status also a client
// of the call list.
//
// After every step the clients must have sent nothing but their login and listings, opened no
// message and not ended, and the live client's calls must be exactly the channels of a plain
// model kept from the same script. Where a cut could forge (in an event, which carries no
// ActionID, or in a listing whose ActionID the PBX does not repeat), the calls are compared
// again after the next listing the PBX repeats it in, or one without a cut. After a listing
// with its ActionID repeated: no call and no entry names a channel that is not up or shows
// another call's fields (a forged number, extension or duration), every entry's channel is
// listed once, each listing ended exactly once and no Shutdown was announced.
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

    void deliver(ManagerClient& to, const std::string& bytes);
    void listingStep(std::uint8_t injectAt, std::uint8_t what, bool ask);
    void compare(const char* step);
    void checkRequests(RecordingWindow& from, std::string_view login, const std::string& after);
    void checkFields(const std::string& after);
    void checkEntries(const std::string& after);
    std::string listing(bool channels, const std::string& id, std::uint8_t injectAt,
                        std::uint8_t what) const;
    std::string record(const std::string& channel, const std::string& name,
                       const std::string& idLine, std::uint8_t what) const;
    std::string channelRecord(const std::string& channel, const std::string& name,
                              const std::string& idLine) const;
    std::string event(const char* name, const std::string& channel,
                      const std::string& callerName) const;
    std::string renameEvent(const std::string& from, const std::string& to) const;
    std::string injected(std::uint8_t choice) const;
    std::string cutText(std::uint8_t forgery, bool ahead, bool channels) const;
    std::string forgedRecord(const std::string& channel, bool channels) const;
    bool rawNames() const { return generation != Generation::Current; }
    void forged();
    void fail(std::string what);

    RecordingWindow window;
    LiveCalls calls;
    ManagerClient client;
    RecordingWindow listWindow;
    ManagerClient listClient; // the call list window's client: Status, entries
    Generation generation = Generation::Current;
    std::map<std::string, int> model; // the channels that exist, with how often they came
    // Names a forgery may have left in the client's memory of calls just gone, which keeps an
    // event from bringing such a call back until a listing names it.
    std::set<std::string> doubtful;
    std::set<std::string> gone; // hung up, renamed away or left out by a listing, not back since
    std::vector<std::uint8_t> chunkSizes;
    std::size_t nextChunk = 0;
    int nLogins = 0;
    int nListLogins = 0;
    bool bCoreShowChannels = false;  // a current PBX listed with CoreShowChannels
    bool bEcho = false;              // the PBX repeats each listing's ActionID
    bool bCuts = false;              // names may hold an empty line
    bool bRawChannels = false;       // a PBX that writes CoreShowChannel names raw
    bool bDamaged = false;           // a cut may have forged since the last listing to trust
    bool bShutdownForgeable = false; // this step's cut, in an event, may forge a Shutdown
    std::string failure;
};

} // namespace corvale::fuzz
