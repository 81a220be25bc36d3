#include "Connection.h"

#include "Tls.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace pbxsim {

namespace {

std::string errorText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

void Connection::handshake(Transcript& transcript)
{
    tlsWantsWrite = false;
    const TlsResult result = TlsServer::handshake(tls);
    if (result.status == TlsStatus::Done) {
        handshaking = false;
        transcript.note(id, "TLS handshake done");
    } else if (result.status == TlsStatus::WantWrite) {
        tlsWantsWrite = true;
    } else if (result.status == TlsStatus::Failed) {
        transcript.note(id, "TLS handshake failed: " + result.error);
        dead = true;
    }
}

Io Connection::receive(char* buffer, std::size_t size, std::size_t& received,
                       Transcript& transcript)
{
    if (tls == nullptr) {
        const ssize_t n = ::recv(fd, buffer, size, 0);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return Io::Moved;
        }
        if (n == 0)
            return Io::Closed;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return Io::Later;
        transcript.note(id, errorText("recv"));
        dead = true;
        return Io::Failed;
    }
    tlsWantsWrite = false;
    const TlsResult result = TlsServer::read(tls, buffer, size);
    switch (result.status) {
    case TlsStatus::Done:
        received = result.bytes;
        return Io::Moved;
    case TlsStatus::WantWrite:
        tlsWantsWrite = true;
        return Io::Later;
    case TlsStatus::WantRead:
        return Io::Later;
    case TlsStatus::Closed:
        return Io::Closed;
    case TlsStatus::Failed:
        break;
    }
    transcript.note(id, "TLS read failed: " + result.error);
    dead = true;
    return Io::Failed;
}

Io Connection::transmit(const char* data, std::size_t size, std::size_t& sent,
                        Transcript& transcript)
{
    if (tls == nullptr) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n >= 0) {
            sent = static_cast<std::size_t>(n);
            return Io::Moved;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return Io::Later;
        transcript.note(id, errorText("send"));
        dead = true;
        return Io::Failed;
    }
    tlsWantsWrite = false;
    const TlsResult result = TlsServer::write(tls, data, size);
    switch (result.status) {
    case TlsStatus::Done:
        sent = result.bytes;
        return Io::Moved;
    case TlsStatus::WantWrite:
        tlsWantsWrite = true;
        return Io::Later;
    case TlsStatus::WantRead:
        return Io::Later;
    case TlsStatus::Closed:
    case TlsStatus::Failed:
        break;
    }
    transcript.note(id, "TLS write failed: " + result.error);
    dead = true;
    return Io::Failed;
}

void Connection::close()
{
    TlsServer::free(tls);
    tls = nullptr;
    ::close(fd);
}

} // namespace pbxsim
