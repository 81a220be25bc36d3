#include "TestClient.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

TestClient::~TestClient()
{
    if (fd >= 0)
        ::close(fd);
}

bool TestClient::connectTo(std::uint16_t port)
{
    if (fd >= 0)
        ::close(fd);
    buffer.clear();
    bClosed = bTimedOut = false;
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
}

void TestClient::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

bool TestClient::fill(int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) {
        bTimedOut = true;
        return false;
    }
    char chunk[65536];
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) {
        bClosed = true;
        return false;
    }
    buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
}

std::string TestClient::readUntil(std::string_view marker, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t searched = 0;
    for (;;) {
        const std::size_t at = buffer.find(marker, searched);
        if (at != std::string::npos) {
            std::string head = buffer.substr(0, at + marker.size());
            buffer.erase(0, at + marker.size());
            return head;
        }
        searched = buffer.size() >= marker.size() ? buffer.size() - marker.size() + 1 : 0;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !fill(static_cast<int>(left.count()))) {
            if (left.count() <= 0)
                bTimedOut = true;
            return std::exchange(buffer, {});
        }
    }
}

std::string TestClient::readStatus(int timeoutMs)
{
    // Anchored on the blank line before it, so a caller named "Event: StatusComplete" does not
    // end the listing early.
    std::string text = readUntil("\r\n\r\nEvent: StatusComplete\r\n", timeoutMs);
    return text + readBlock(timeoutMs);
}

std::string TestClient::readToClose(int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            bTimedOut = true;
            break;
        }
        if (!fill(static_cast<int>(left.count())))
            break;
    }
    return std::exchange(buffer, {});
}
