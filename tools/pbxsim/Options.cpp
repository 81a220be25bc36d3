#include "Options.h"

#include "Causes.h"
#include "Events.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string_view>
#include <type_traits>

namespace pbxsim {

namespace {

template <class T>
bool readNumber(std::string_view text, T& value, T max = std::numeric_limits<T>::max())
{
    T parsed{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed > max)
        return false;
    if constexpr (std::is_signed_v<T>) {
        if (parsed < 0)
            return false;
    }
    value = parsed;
    return true;
}

// "41000dff" -> the bytes 'A', NUL, CR, 0xFF: lets a command line carry any byte.
bool readHex(std::string_view text, std::string& bytes)
{
    if (text.size() % 2 != 0)
        return false;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = nibble(text[i]);
        const int low = nibble(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

// "desk:s3cret:call": a user, its secret and its classes (read and write alike).
bool readUser(std::string_view text, ManagerUser& user)
{
    const std::size_t first = text.find(':');
    const std::size_t last = text.rfind(':');
    if (first == std::string_view::npos || first == last || first == 0 || last + 1 == text.size())
        return false;
    user.name = text.substr(0, first);
    user.secret = text.substr(first + 1, last - first - 1);
    user.classes = eventMask(text.substr(last + 1));
    return true;
}

// "16,17,19": causes by number or by name.
bool readCauses(std::string_view text, std::vector<int>& causes)
{
    causes.clear();
    for (std::size_t pos = 0; pos <= text.size();) {
        const std::size_t comma = std::min(text.find(',', pos), text.size());
        const int cause = readCause(text.substr(pos, comma - pos));
        if (cause < 0)
            return false;
        causes.push_back(cause);
        pos = comma + 1;
    }
    return !causes.empty();
}

} // namespace

std::string usage()
{
    return "Usage: pbxsim [options]\n"
           "Plays the PBX side of the manager conversation on a TCP port.\n"
           "\n"
           "  --host ADDR             address to listen on (default 127.0.0.1)\n"
           "  --port N                port (default 5038; 0 picks a free one)\n"
           "  --user NAME             manager user (default admin), who may do everything\n"
           "  --secret TEXT           manager secret (default empty)\n"
           "  --add-user NAME:SECRET:CLASSES  another user, reading and writing only these\n"
           "                          classes (call; call,agent; ...); repeatable\n"
           "  --calls N               generated calls (default 12)\n"
           "  --seed N                seed for the generated calls (default 1)\n"
           "  --dialect legacy|1.8|modern  status record layout: 1.4's, 1.8 to 11's or current\n"
           "                          (default legacy)\n"
           "  --greeting-version V    version in the greeting (default 1.1)\n"
           "  --hostile               add calls whose caller names look like manager text\n"
           "  --name-hex HEX          add a call whose caller name is these bytes (repeatable)\n"
           "  --clock UNIX            count call durations to this fixed time\n"
           "  --chunk N               send every answer in writes of N bytes (1: byte drip)\n"
           "  --chunk-delay-ms N      pause between those writes (default 0)\n"
           "  --close-after-bytes N   close a connection once N bytes have been sent on it\n"
           "  --close-after-login     close right after accepting a login\n"
           "  --refuse-login          refuse every login\n"
           "  --refuse-delay-ms N     wait before answering a refused login (default 1000)\n"
           "  --close-on-refuse       answer a refused login at once, then close\n"
           "  --flood-after-refuse N  after refusing a login, send N bytes of garbage lines\n"
           "                          before closing, only as fast as the client reads them\n"
           "  --long-line BYTES       send a garbage line of BYTES bytes before each Status "
           "answer\n"
           "  --no-hangup-answer      end hung-up calls but never answer the Hangup\n"
           "  --unanswered-hangups N  the same for only the first N Hangups of a connection\n"
           "  --control               read commands on standard input (start, hangup, callerid,\n"
           "                          exten, rename, masquerade, bridge, unbridge, churn, join,\n"
           "                          abandon, answer, pause, unpause, add-member, remove-member,\n"
           "                          queue-churn, waiting, forge, forge-shutdown, forge-queue,\n"
           "                          count, dump, flooded, queued, restart, freeze, silent, "
           "help)\n"
           "                          and answer each with one line on standard output\n"
           "  --churn N               N calls start and N end every second, each with its events\n"
           "  --churn-causes LIST     the churn ends calls with these causes, one at random each\n"
           "                          (16,17,19 or normal,busy,noanswer,rejected; default 16)\n"
           "  --churn-seconds S       churn for S seconds only (default: until the end)\n"
           "  --bridged N             bridge N pairs of the calls at start\n"
           "  --churn-pairs           the churn replaces a bridged pair by a new bridged pair\n"
           "  --queue-demo            queues sales and support with Anna, Ben and Cleo Agent,\n"
           "                          Ben paused, three callers waiting\n"
           "  --queues N              N generated queues, with\n"
           "  --members N             N members spread over them\n"
           "  --waiting N             and N callers waiting in them\n"
           "  --queue-churn N         N callers join and N leave the queues every second, some\n"
           "                          abandoning, some answered (their calls end after 4 s)\n"
           "  --activity              every few seconds a call ends with a cause, a caller\n"
           "                          abandons or is answered, an answered call ends; new ones\n"
           "                          start\n"
           "  --forged VICTIM         add callers whose names forge a Status record of the call\n"
           "                          VICTIM (channel or unique id) and a Shutdown, and, with\n"
           "                          queues, a waiting caller forging a QueueEntry of VICTIM\n"
           "  --max-queued BYTES      end a connection that leaves more than BYTES of events\n"
           "                          unread (default 8 MiB)\n"
           "  --dump-channels FILE    at exit, write the channels that are up to FILE\n"
           "  --tls-cert FILE         serve TLS with this PEM certificate (and any chain after "
           "it)\n"
           "  --tls-key FILE          and this PEM key\n"
           "  --tls-fault KIND        serve TLS with a certificate made at start: wrong-host,\n"
           "                          expired (both signed by --tls-ca-cert and --tls-ca-key) or\n"
           "                          untrusted (signed by an authority of its own)\n"
           "  --tls-ca-cert FILE      the authority certificate (PEM) for --tls-fault\n"
           "  --tls-ca-key FILE       and its key\n"
           "  --make-certs DIR        write test certificates to DIR and end: ca, localhost,\n"
           "                          wrong-host, expired, untrusted (.pem and .key each)\n"
           "  --challenge-error       answer every Challenge with an error\n"
           "  --transcript FILE       write every byte in both directions to FILE, readably\n"
           "  --help                  show this text\n"
           "\n"
           "Prints \"listening ADDR:PORT\" once it accepts connections.\n";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        bool ok = true;
        auto value = [&]() -> std::string_view {
            if (i + 1 >= argc) {
                ok = false;
                return {};
            }
            return argv[++i];
        };
        SessionOptions& session = options.session;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--host") {
            options.host = value();
        } else if (name == "--port") {
            ok = readNumber(value(), options.port);
        } else if (name == "--user") {
            session.user = value();
        } else if (name == "--secret") {
            session.secret = value();
        } else if (name == "--add-user") {
            ManagerUser user;
            ok = readUser(value(), user);
            session.moreUsers.push_back(std::move(user));
        } else if (name == "--churn-causes") {
            ok = readCauses(value(), options.churnCauses);
        } else if (name == "--queue-demo") {
            options.queueDemo = true;
        } else if (name == "--queues") {
            ok = readNumber(value(), options.queues, std::size_t{100'000});
        } else if (name == "--members") {
            ok = readNumber(value(), options.members, std::size_t{1'000'000});
        } else if (name == "--waiting") {
            ok = readNumber(value(), options.waiting, std::size_t{1'000'000});
        } else if (name == "--queue-churn") {
            ok = readNumber(value(), options.queueChurn, std::uint32_t{100'000});
        } else if (name == "--activity") {
            options.activity = true;
        } else if (name == "--forged") {
            options.forgedVictim = value();
            ok = !options.forgedVictim.empty();
        } else if (name == "--calls") {
            ok = readNumber(value(), options.calls, std::size_t{10'000'000});
        } else if (name == "--seed") {
            ok = readNumber(value(), options.seed);
        } else if (name == "--dialect") {
            const std::string_view dialect = value();
            if (dialect == "legacy")
                session.dialect = Dialect::Legacy;
            else if (dialect == "modern")
                session.dialect = Dialect::Modern;
            else if (dialect == "1.8")
                session.dialect = Dialect::Pbx18;
            else
                ok = false;
        } else if (name == "--greeting-version") {
            session.greetingVersion = value();
        } else if (name == "--hostile") {
            options.hostile = true;
        } else if (name == "--name-hex") {
            std::string bytes;
            ok = readHex(value(), bytes);
            options.rawNames.push_back(std::move(bytes));
        } else if (name == "--clock") {
            ok = readNumber(value(), options.clock);
        } else if (name == "--chunk") {
            ok = readNumber(value(), options.chunk);
        } else if (name == "--chunk-delay-ms") {
            ok = readNumber(value(), options.chunkDelayMs, 60'000);
        } else if (name == "--close-after-bytes") {
            ok = readNumber(value(), options.closeAfterBytes);
        } else if (name == "--close-after-login") {
            session.closeAfterLogin = true;
        } else if (name == "--refuse-login") {
            session.refuseLogin = true;
        } else if (name == "--refuse-delay-ms") {
            ok = readNumber(value(), session.refuseDelayMs, 60'000);
        } else if (name == "--close-on-refuse") {
            session.closeOnRefuse = true;
        } else if (name == "--flood-after-refuse") {
            ok = readNumber(value(), session.floodAfterRefuse);
        } else if (name == "--long-line") {
            ok = readNumber(value(), session.longLine, std::size_t{100'000'000});
        } else if (name == "--no-hangup-answer") {
            session.noHangupAnswer = true;
        } else if (name == "--unanswered-hangups") {
            ok = readNumber(value(), session.unansweredHangups);
        } else if (name == "--control") {
            options.control = true;
        } else if (name == "--churn") {
            ok = readNumber(value(), options.churn, std::uint32_t{1'000'000});
        } else if (name == "--churn-seconds") {
            ok = readNumber(value(), options.churnSeconds);
        } else if (name == "--bridged") {
            ok = readNumber(value(), options.bridged);
        } else if (name == "--churn-pairs") {
            options.churnPairs = true;
        } else if (name == "--max-queued") {
            ok = readNumber(value(), options.maxQueued);
        } else if (name == "--dump-channels") {
            options.dumpChannels = value();
        } else if (name == "--tls-cert") {
            options.tlsCert = value();
        } else if (name == "--tls-key") {
            options.tlsKey = value();
        } else if (name == "--tls-fault") {
            options.tlsFault = value();
            ok = options.tlsFault == "wrong-host" || options.tlsFault == "expired" ||
                 options.tlsFault == "untrusted";
        } else if (name == "--tls-ca-cert") {
            options.tlsCaCert = value();
        } else if (name == "--tls-ca-key") {
            options.tlsCaKey = value();
        } else if (name == "--make-certs") {
            options.makeCerts = value();
        } else if (name == "--challenge-error") {
            session.challengeError = true;
        } else if (name == "--transcript") {
            options.transcript = value();
        } else {
            error = "unknown option " + std::string(name);
            return false;
        }
        if (!ok) {
            error = "bad or missing value for " + std::string(name);
            return false;
        }
    }
    if ((options.members > 0 || options.waiting > 0 || options.queueChurn > 0) &&
        options.queues == 0 && !options.queueDemo) {
        error = "--members, --waiting and --queue-churn need queues: --queues N or --queue-demo";
        return false;
    }
    if (options.tlsCert.empty() != options.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
        return false;
    }
    if (!options.tlsFault.empty() && !options.tlsCert.empty()) {
        error = "--tls-fault makes its own certificate; leave out --tls-cert";
        return false;
    }
    if (options.tlsCaCert.empty() != options.tlsCaKey.empty() ||
        ((options.tlsFault == "wrong-host" || options.tlsFault == "expired") &&
         options.tlsCaCert.empty())) {
        error = "--tls-fault wrong-host and expired need --tls-ca-cert and --tls-ca-key, so "
                "that the fault is the only one";
        return false;
    }
    return true;
}

} // namespace pbxsim
