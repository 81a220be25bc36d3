#pragma once

#include "Certificates.h"

#include <cstddef>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace pbxsim {

// What a non-blocking TLS operation came to.
enum class TlsStatus
{
    Done,      // `bytes` moved (a handshake: finished)
    WantRead,  // call again once the socket is readable
    WantWrite, // call again once the socket is writable
    Closed,    // the peer closed the connection
    Failed     // `error` says why
};

struct TlsResult
{
    TlsStatus status = TlsStatus::Failed;
    std::size_t bytes = 0;
    std::string error;
};

// The server side of TLS for the poll loop: one context, a session per connection, every
// operation non-blocking. After the handshake the bytes are exactly those without TLS.
class TlsServer
{
public:
    TlsServer() = default;
    ~TlsServer();
    TlsServer(const TlsServer&) = delete;
    TlsServer& operator=(const TlsServer&) = delete;

    // The certificate (with any chain after it) and its key from PEM files.
    bool useFiles(const std::string& certificateFile, const std::string& keyFile,
                  std::string& error);
    // A certificate made in memory.
    bool usePair(const KeyPair& pair, std::string& error);

    // A session for a freshly accepted socket; null if OpenSSL cannot make one.
    SSL* open(int fd);

    static TlsResult handshake(SSL* ssl);
    static TlsResult read(SSL* ssl, char* buffer, std::size_t size);
    static TlsResult write(SSL* ssl, const char* data, std::size_t size);
    // Says goodbye (close_notify) without waiting for the answer.
    static void shutdown(SSL* ssl);
    static void free(SSL* ssl);

private:
    bool makeContext(std::string& error);

    SSL_CTX* context = nullptr;
};

} // namespace pbxsim
