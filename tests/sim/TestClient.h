#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A scripted manager client over loopback: plain blocking writes, reads bounded by a deadline.
class TestClient
{
public:
    TestClient() = default;
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    // Connects to 127.0.0.1, dropping any earlier connection.
    bool connectTo(std::uint16_t port);
    void send(std::string_view bytes);
    // Reads until `marker` has arrived; returns everything up to and including it and keeps the
    // rest. Returns what arrived, without the marker, if the peer closes or time runs out; then
    // timedOut() or closed() says which.
    std::string readUntil(std::string_view marker, int timeoutMs = 5000);
    std::string readBlock(int timeoutMs = 5000) { return readUntil("\r\n\r\n", timeoutMs); }
    // A whole Status answer, up to the end of its StatusComplete block.
    std::string readStatus(int timeoutMs = 5000);
    // Reads until the peer closes; returns what came before the close.
    std::string readToClose(int timeoutMs = 5000);
    bool closed() const { return bClosed; }
    bool timedOut() const { return bTimedOut; }

private:
    bool fill(int timeoutMs);

    int fd = -1;
    std::string buffer;
    bool bClosed = false;
    bool bTimedOut = false;
};

// Logs in with the simulator's default user and an empty secret, Events: Off.
constexpr std::string_view DefaultLogin =
    "Action: login\r\nUsername: admin\r\nSecret: \r\nEvents: Off\r\n\r\n";
constexpr std::string_view LoginAccepted =
    "Response: Success\r\nMessage: Authentication accepted\r\n\r\n";
constexpr std::string_view StatusAction = "Action: Status\r\n\r\n";

// The default login asking for these event classes.
inline std::string loginWithEvents(std::string_view events)
{
    return "Action: login\r\nUsername: admin\r\nSecret: \r\nEvents: " + std::string(events) +
           "\r\n\r\n";
}
