#include "Server.h"

#include "Control.h"
#include "Options.h"
#include "Tls.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pbxsim {

namespace {

// After our side closes, unread bytes from the client would make the kernel reset the
// connection and could destroy the last answer in flight, so the client gets this long to close.
constexpr auto Linger = std::chrono::seconds(2);

bool setNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string errorText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// "127.0.0.1/5038": one end of a connection, as the PBX writes it in its events.
std::string endpoint(int fd, int (*name)(int, sockaddr*, socklen_t*))
{
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (name(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return "0.0.0.0/0";
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    return std::string(text) + '/' + std::to_string(ntohs(addr.sin_port));
}

// The flood's lines, 80 bytes each with their CR LF. Written straight from here as the socket
// takes them, so that a client that stops reading holds the flood back instead of the
// simulator's memory filling up with it.
constexpr std::size_t FloodLineSize = 80;

const std::string& floodLines()
{
    static const std::string lines = [] {
        const std::string line = std::string(FloodLineSize - 2, 'x') + "\r\n";
        std::string all;
        for (int i = 0; i < 800; ++i)
            all += line;
        return all;
    }();
    return lines;
}

std::int64_t unixNow(const Options& options)
{
    return options.clock != 0 ? options.clock : static_cast<std::int64_t>(std::time(nullptr));
}

} // namespace

Server::Server(const Options& serverOptions, CallTable& calls, QueueTable* queueTable,
               Control& commands, TlsServer* tlsServer)
    : options(serverOptions)
    , table(calls)
    , queues(queueTable)
    , control(commands)
    , tls(tlsServer)
    , commandsOpen(serverOptions.control)
    , readBuffer(64 * 1024)
    , sessionOptions(serverOptions.session)
{
    control.setTransport(this);
}

Server::~Server()
{
    control.setTransport(nullptr);
    for (const auto& c : connections)
        c->close();
    if (listenFd >= 0)
        ::close(listenFd);
}

bool Server::listen(std::string& error)
{
    if (!options.transcript.empty() && !transcript.open(options.transcript)) {
        error = errorText(("cannot write " + options.transcript).c_str());
        return false;
    }
    return openListener(error);
}

bool Server::openListener(std::string& error)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    // After a restart the port first chosen, even when the kernel chose it.
    addr.sin_port = htons(listenFd == -1 && boundPort != 0 ? boundPort : options.port);
    const std::string host = options.host == "localhost" ? "127.0.0.1" : options.host;
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        error = "not an IPv4 address: " + options.host;
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        error = errorText("socket");
        return false;
    }
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = errorText("bind");
        ::close(fd);
        return false;
    }
    if (::listen(fd, 64) != 0 || !setNonBlocking(fd)) {
        error = errorText("listen");
        ::close(fd);
        return false;
    }
    listenFd = fd;
    socklen_t len = sizeof addr;
    getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    boundAddress = text;
    boundPort = ntohs(addr.sin_port);
    return true;
}

void Server::restart(std::uint32_t seconds)
{
    passOnEvents();
    for (const auto& c : connections) {
        if (c->closing || c->dead)
            continue;
        c->frozenUntil = {};
        // A restarting PBX does not wait for a slow reader to take what it still had queued.
        c->endBy = Clock::now() + Linger;
        fresh.clear();
        c->session->restart(fresh);
        for (Output& out : fresh)
            enqueue(*c, std::move(out));
    }
    ::close(listenFd);
    listenFd = -1;
    reopenAt = Clock::now() + std::chrono::seconds(seconds);
    transcript.note(0, "restarting: connections refused for " + std::to_string(seconds) + " s");
}

void Server::freeze(std::uint32_t seconds)
{
    const Clock::time_point until = Clock::now() + std::chrono::seconds(seconds);
    for (const auto& c : connections)
        c->frozenUntil = until;
}

void Server::run(const volatile std::sig_atomic_t& stop)
{
    std::vector<pollfd> fds;
    if (options.churn > 0)
        control.churn().begin(options.churn, options.churnSeconds, Clock::now());
    if (options.queueChurn > 0 && control.queueChurn() != nullptr)
        control.queueChurn()->timing().begin(options.queueChurn, options.churnSeconds,
                                             Clock::now());
    if (options.activity)
        control.activity().begin(Clock::now());
    while (stop == 0) {
        if (listenFd < 0 && Clock::now() >= reopenAt) {
            std::string error;
            if (openListener(error)) {
                sessionOptions.bootTime = unixNow(options);
                transcript.note(0, "taking connections again");
            } else {
                std::fprintf(stderr, "pbxsim: after the restart: %s\n", error.c_str());
                reopenAt = Clock::now() + std::chrono::milliseconds(100);
            }
        }
        control.tick(Clock::now(), unixNow(options));
        passOnEvents();
        const Clock::time_point now = Clock::now();
        fds.clear();
        fds.push_back({listenFd, POLLIN, 0});
        // Commands, when they are read, come at index 1; the connections follow.
        const std::size_t first = commandsOpen ? 2 : 1;
        if (commandsOpen)
            fds.push_back({STDIN_FILENO, POLLIN, 0});
        Clock::time_point wake = now + std::chrono::hours(1);
        wake = std::max(now, std::min(wake, control.nextDue()));
        if (listenFd < 0)
            wake = std::min(wake, std::max(now, reopenAt));
        for (const auto& c : connections) {
            if (c->frozenUntil > now) {
                // Left out of the poll: a dead link reports nothing, not even a hang-up.
                fds.push_back({-1, 0, 0});
                wake = std::min(wake, c->frozenUntil);
                continue;
            }
            short events = POLLIN;
            if (wantsWrite(*c, now))
                events |= POLLOUT;
            fds.push_back({c->fd, events, 0});
            if (c->closing && c->closeBy < wake)
                wake = c->closeBy;
            wake = std::min(wake, c->endBy);
            if (!c->closing && !c->queue.empty() && c->headTimed && c->readyAt > now &&
                c->readyAt < wake)
                wake = c->readyAt;
        }
        // Never negative: that would be no time limit at all.
        const auto waitMs = std::max<std::chrono::milliseconds::rep>(
            0, std::chrono::ceil<std::chrono::milliseconds>(wake - now).count());
        if (::poll(fds.data(), fds.size(), static_cast<int>(waitMs)) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("poll");
            return;
        }
        const std::size_t polled = connections.size();
        if ((fds[0].revents & POLLIN) != 0)
            accept();
        if (commandsOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
            readCommands();
        for (std::size_t i = 0; i < polled; ++i) {
            Connection& c = *connections[i];
            if (fds[i + first].fd < 0)
                continue; // frozen
            const short revents = fds[i + first].revents;
            if (c.handshaking && revents != 0)
                c.handshake(transcript);
            // TLS may hold decrypted bytes back until a write went through.
            if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0 || (c.tls != nullptr && revents != 0))
                readFrom(c);
            if (!c.dead)
                writeTo(c, Clock::now());
            if ((c.closing && !c.dead && Clock::now() >= c.closeBy) || Clock::now() >= c.endBy)
                c.dead = true;
        }
        // New connections get their greeting out at once.
        for (std::size_t i = polled; i < connections.size(); ++i)
            writeTo(*connections[i], Clock::now());
        for (auto it = connections.begin(); it != connections.end();) {
            if ((*it)->dead) {
                transcript.note((*it)->id, "connection closed");
                (*it)->close();
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
    }
}

void Server::accept()
{
    for (;;) {
        const int fd = ::accept(listenFd, nullptr, nullptr);
        if (fd < 0)
            return; // EAGAIN, or a connection that went away before we took it
        if (!setNonBlocking(fd)) {
            ::close(fd);
            continue;
        }
        // Each write is meant to leave as its own segment: the chunk faults depend on it.
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->id = nextId++;
        c->session = std::make_unique<ManagerSession>(sessionOptions, table, queues);
        c->session->setAddresses(endpoint(fd, getsockname), endpoint(fd, getpeername));
        c->mute = silent;
        if (!c->mute)
            enqueue(*c, {c->session->greeting()});
        transcript.note(c->id, c->mute ? "connected, never to be greeted" : "connected");
        if (tls != nullptr) {
            c->tls = tls->open(fd);
            c->handshaking = true;
            if (c->tls == nullptr) {
                transcript.note(c->id, "no TLS session");
                c->dead = true;
            }
        }
        connections.push_back(std::move(c));
    }
}

void Server::readFrom(Connection& c)
{
    if (c.handshaking || c.dead)
        return;
    for (;;) {
        std::size_t n = 0;
        const Io io = c.receive(readBuffer.data(), readBuffer.size(), n, transcript);
        if (io == Io::Closed) {
            transcript.note(c.id, "the client closed its side");
            c.dead = true;
            return;
        }
        if (io != Io::Moved)
            return;
        const std::string_view bytes(readBuffer.data(), n);
        transcript.received(c.id, bytes);
        if (c.closing || c.mute)
            continue;
        fresh.clear();
        c.session->receive(bytes, unixNow(options), fresh);
        for (Output& out : fresh)
            enqueue(c, std::move(out));
    }
}

void Server::readCommands()
{
    // One read per wake-up: poll said it will not block. Standard input stays blocking, since its
    // mode is shared with whoever else holds it, a terminal's shell for one.
    const ssize_t n = ::read(STDIN_FILENO, readBuffer.data(), readBuffer.size());
    if (n == 0 || (n < 0 && errno != EINTR)) {
        commandsOpen = false; // nobody will send more; the calls go on as they are
        return;
    }
    if (n < 0)
        return;
    commandBuffer.append(readBuffer.data(), static_cast<std::size_t>(n));
    std::size_t lineEnd;
    while ((lineEnd = commandBuffer.find('\n')) != std::string::npos) {
        const std::string line = commandBuffer.substr(0, lineEnd);
        commandBuffer.erase(0, lineEnd + 1);
        const std::string reply = control.run(line, unixNow(options));
        passOnEvents(); // queued before the reply tells that the change is made
        std::printf("%s\n", reply.c_str());
        std::fflush(stdout);
    }
}

void Server::passOnEvents()
{
    for (const auto& c : connections) {
        if (c->closing || c->dead)
            continue;
        fresh.clear();
        c->session->takeEvents(fresh);
        for (Output& out : fresh)
            enqueue(*c, std::move(out));
        // A PBX gives up on a client that does not take its events: it logs and disconnects
        // rather than hold them without limit. Answers alone never count, so that one large
        // listing to a slow reader goes out whole.
        if (!fresh.empty() && c->queued > options.maxQueued && c->frozenUntil <= Clock::now()) {
            std::fprintf(stderr,
                         "pbxsim: connection %d reads too slowly, %zu bytes waiting: closed\n",
                         c->id, c->queued);
            transcript.note(c->id, "reads too slowly: closed with " + std::to_string(c->queued) +
                                       " bytes waiting");
            c->queue.clear();
            c->queued = 0;
            c->dead = true;
            ++nDropped;
        }
    }
}

void Server::enqueue(Connection& c, Output out)
{
    c.queued += out.bytes.size();
    peakQueued = std::max<std::uint64_t>(peakQueued, c.queued);
    c.queue.push_back(std::move(out));
}

Transport::QueueFigures Server::queued() const
{
    QueueFigures figures;
    for (const auto& c : connections)
        figures.now += c->queued;
    figures.peak = peakQueued;
    figures.dropped = nDropped;
    return figures;
}

bool Server::wantsWrite(const Connection& c, Clock::time_point now) const
{
    if (c.tlsWantsWrite)
        return true;
    if (c.closing || c.queue.empty() || c.handshaking)
        return false;
    return !c.headTimed || c.readyAt <= now;
}

void Server::writeTo(Connection& c, Clock::time_point now)
{
    while (!c.closing && !c.dead && !c.handshaking && !c.queue.empty()) {
        Output& head = c.queue.front();
        if (!c.headTimed) {
            c.headTimed = true;
            c.readyAt = now + std::chrono::milliseconds(head.delayMs);
        }
        if (c.readyAt > now)
            return;
        std::size_t size = head.bytes.size() - c.offset;
        if (options.chunk > 0 && size > options.chunk)
            size = options.chunk;
        if (options.closeAfterBytes > 0 && c.sentTotal + size > options.closeAfterBytes)
            size = static_cast<std::size_t>(options.closeAfterBytes - c.sentTotal);
        if (size > 0) {
            std::size_t sent = 0;
            if (c.transmit(head.bytes.data() + c.offset, size, sent, transcript) != Io::Moved)
                return;
            transcript.sent(c.id, std::string_view(head.bytes).substr(c.offset, sent));
            c.offset += sent;
            c.queued -= sent;
            c.sentTotal += sent;
        }
        if (options.closeAfterBytes > 0 && c.sentTotal >= options.closeAfterBytes) {
            shutDown(c, "closing after the byte limit");
            return;
        }
        if (c.offset < head.bytes.size()) {
            if (options.chunk > 0) {
                // One chunk per round, each its own write; the next may be held back a while.
                c.readyAt = now + std::chrono::milliseconds(options.chunkDelayMs);
                return;
            }
            continue; // the socket took part of it; POLLOUT brings the rest
        }
        if (c.flooded < head.flood && !flood(c, head.flood))
            return; // POLLOUT brings the rest
        const bool closeAfter = head.closeAfter;
        c.queue.pop_front();
        c.offset = 0;
        c.flooded = 0;
        c.headTimed = false;
        if (closeAfter) {
            shutDown(c, "closing after the answer");
            return;
        }
    }
}

bool Server::flood(Connection& c, std::size_t total)
{
    const std::string& lines = floodLines();
    while (c.flooded < total) {
        // Each write starts where the last one stopped within a line and runs to the end of the
        // block at most.
        const std::size_t at = c.flooded % FloodLineSize;
        const std::size_t size = std::min(lines.size() - at, total - c.flooded);
        std::size_t sent = 0;
        if (c.transmit(lines.data() + at, size, sent, transcript) != Io::Moved)
            return false;
        transcript.sent(c.id, std::string_view(lines).substr(at, sent));
        c.flooded += sent;
        c.sentTotal += sent;
        control.noteFlooded(sent);
    }
    return true;
}

void Server::shutDown(Connection& c, const char* why)
{
    transcript.note(c.id, why);
    TlsServer::shutdown(c.tls);
    ::shutdown(c.fd, SHUT_WR);
    c.closing = true;
    c.closeBy = Clock::now() + Linger;
    c.queue.clear();
    c.queued = 0;
}

} // namespace pbxsim
