#include "CallTable.h"
#include "Control.h"
#include "Listing.h"
#include "Options.h"
#include "QueueSetup.h"
#include "QueueTable.h"
#include "Server.h"
#include "Tls.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

} // namespace

int main(int argc, char** argv)
{
    pbxsim::Options options;
    std::string error;
    if (!pbxsim::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "pbxsim: %s\n%s", error.c_str(), pbxsim::usage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(pbxsim::usage().c_str(), stdout);
        return 0;
    }
    if (!options.makeCerts.empty()) {
        if (!pbxsim::writeTestCertificates(options.makeCerts, error)) {
            std::fprintf(stderr, "pbxsim: %s\n", error.c_str());
            return 1;
        }
        std::printf("wrote %s\n", options.makeCerts.c_str());
        return 0;
    }
    pbxsim::TlsServer tls;
    const bool useTls = !options.tlsCert.empty() || !options.tlsFault.empty();
    if (!options.tlsCert.empty() && !tls.useFiles(options.tlsCert, options.tlsKey, error)) {
        std::fprintf(stderr, "pbxsim: %s\n", error.c_str());
        return 2;
    }
    if (!options.tlsFault.empty()) {
        pbxsim::CertificateKind kind{};
        pbxsim::parseCertificateKind(options.tlsFault, kind);
        pbxsim::KeyPair authority;
        if (!options.tlsCaCert.empty())
            authority = pbxsim::readKeyPair(options.tlsCaCert, options.tlsCaKey, error);
        if ((!options.tlsCaCert.empty() && !authority) ||
            !tls.usePair(pbxsim::makeServerCertificate(kind, authority), error)) {
            std::fprintf(stderr, "pbxsim: %s\n", error.c_str());
            return 2;
        }
    }

    const std::int64_t now =
        options.clock != 0 ? options.clock : static_cast<std::int64_t>(std::time(nullptr));
    options.session.bootTime = now;
    options.session.fixedClock = options.clock != 0;
    // Calls started later come from the same generator, so their channels never repeat a name.
    pbxsim::CallGenerator generator(options.seed);
    std::vector<pbxsim::Call> calls;
    calls.reserve(options.calls);
    for (std::size_t i = 0; i < options.calls; ++i)
        calls.push_back(generator.next(now));
    if (options.hostile) {
        for (pbxsim::Call& call : pbxsim::hostileCalls(now))
            calls.push_back(std::move(call));
    }
    for (pbxsim::Call& call : pbxsim::namedCalls(options.rawNames, now))
        calls.push_back(std::move(call));
    if (options.bridged * 2 > calls.size()) {
        std::fprintf(stderr, "pbxsim: --bridged %zu needs %zu calls, there are %zu\n",
                     options.bridged, options.bridged * 2, calls.size());
        return 2;
    }
    pbxsim::CallTable table(std::move(calls));
    // Neighbours in the list become one conversation each, before anyone listens.
    pbxsim::Rng bridgeIds(options.seed ^ 0xb41d9e);
    for (std::size_t i = 0; i < options.bridged; ++i)
        table.bridge(table.calls()[2 * i].channel, table.calls()[2 * i + 1].channel,
                     pbxsim::bridgeUuid(bridgeIds));

    // Without SA_RESTART, so that poll returns and the loop sees the request.
    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Queues are always there, if empty: a PBX with its queue application loaded.
    pbxsim::QueueTable queues(table, generator, [&options] {
        return options.clock != 0 ? options.clock : static_cast<std::int64_t>(std::time(nullptr));
    });
    if (options.queueDemo)
        pbxsim::addDemoQueues(queues, generator, now);
    pbxsim::addGeneratedQueues(queues, generator, options.queues, options.members, options.waiting,
                               now);

    pbxsim::Control control(table, generator,
                            pbxsim::eventStyleFor(options.session.greetingVersion), options.seed);
    control.setChurnPairs(options.churnPairs);
    control.setChurnCauses(options.churnCauses);
    control.setQueues(&queues);
    control.setDialect(options.session.dialect);
    if (!options.forgedVictim.empty()) {
        // The callers of the recordings that cut a listing with an empty line in a name.
        std::vector<std::string> forging = {"forge Local/112@calls-0000f112;2 " +
                                                options.forgedVictim,
                                            "forge-shutdown Local/113@calls-0000f113;2"};
        if (!queues.queues().empty())
            forging.push_back("forge-queue " + queues.queues().front().name +
                              " Local/114@queue-callers-0000f114;2 " + options.forgedVictim);
        for (const std::string& command : forging) {
            const std::string reply = control.run(command, now);
            if (reply.rfind("ok", 0) != 0) {
                std::fprintf(stderr, "pbxsim: --forged %s: %s\n", options.forgedVictim.c_str(),
                             reply.c_str());
                return 2;
            }
        }
    }
    pbxsim::Server server(options, table, &queues, control, useTls ? &tls : nullptr);
    if (!server.listen(error)) {
        std::fprintf(stderr, "pbxsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("listening %s:%u\n", server.address().c_str(), unsigned{server.port()});
    std::fflush(stdout);
    server.run(stopRequested);
    if (!options.dumpChannels.empty() && !pbxsim::dumpChannels(table, options.dumpChannels)) {
        std::fprintf(stderr, "pbxsim: cannot write %s\n", options.dumpChannels.c_str());
        return 1;
    }
    return 0;
}
