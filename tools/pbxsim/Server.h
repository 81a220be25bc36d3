#pragma once

#include "CallTable.h"
#include "Connection.h"
#include "Control.h"
#include "ManagerSession.h"
#include "Transcript.h"

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pbxsim {

struct Options;
class TlsServer;

// Serves any number of manager connections from one thread with poll(): reads actions, queues
// the answers and writes them out as the socket takes them, with the transport faults applied.
class Server : private Transport
{
public:
    // With options.control, commands for `control` are read from standard input and answered on
    // standard output; its churns and activity run in any case. With `tls`, every connection
    // speaks TLS.
    Server(const Options& options, CallTable& calls, QueueTable* queues, Control& control,
           TlsServer* tls = nullptr);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds and listens; the address actually bound is then in address() and port().
    bool listen(std::string& error);
    const std::string& address() const { return boundAddress; }
    std::uint16_t port() const { return boundPort; }

    // Runs until `stop` becomes non-zero (set from a signal handler).
    void run(const volatile std::sig_atomic_t& stop);

private:
    using Clock = std::chrono::steady_clock;

    void accept();
    void readFrom(Connection& c);
    void writeTo(Connection& c, Clock::time_point now);
    bool flood(Connection& c, std::size_t total);
    void shutDown(Connection& c, const char* why);
    bool wantsWrite(const Connection& c, Clock::time_point now) const;
    void readCommands();
    void passOnEvents();
    void enqueue(Connection& c, Output out);
    bool openListener(std::string& error);
    QueueFigures queued() const override;
    void restart(std::uint32_t seconds) override;
    void freeze(std::uint32_t seconds) override;
    void setSilent(bool on) override { silent = on; }

    const Options& options;
    CallTable& table;
    QueueTable* queues;
    Control& control;
    TlsServer* tls;
    bool commandsOpen = false;
    std::string commandBuffer;
    Transcript transcript;
    int listenFd = -1;
    std::string boundAddress;
    std::uint16_t boundPort = 0;
    int nextId = 1;
    std::vector<std::unique_ptr<Connection>> connections;
    std::vector<Output> fresh; // reused for the answers of one read
    std::vector<char> readBuffer;
    SessionOptions sessionOptions; // the sessions' own: a restart sets a new boot time
    bool silent = false;
    Clock::time_point reopenAt;   // while the listener is closed for a restart
    std::uint64_t peakQueued = 0; // the most bytes one connection has had waiting
    std::uint64_t nDropped = 0;   // connections ended for reading too slowly
};

} // namespace pbxsim
