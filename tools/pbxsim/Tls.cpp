#include "Tls.h"

#include <cerrno>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace pbxsim {

namespace {

std::string errorQueue()
{
    std::string text;
    while (const unsigned long code = ERR_get_error()) {
        char line[256] = {};
        ERR_error_string_n(code, line, sizeof line);
        if (!text.empty())
            text += "; ";
        text += line;
    }
    return text.empty() ? "no reason given" : text;
}

TlsResult outcome(SSL* ssl, int returned)
{
    TlsResult result;
    if (returned > 0) {
        result.status = TlsStatus::Done;
        result.bytes = static_cast<std::size_t>(returned);
        return result;
    }
    switch (SSL_get_error(ssl, returned)) {
    case SSL_ERROR_WANT_READ:
        result.status = TlsStatus::WantRead;
        break;
    case SSL_ERROR_WANT_WRITE:
        result.status = TlsStatus::WantWrite;
        break;
    case SSL_ERROR_ZERO_RETURN:
        result.status = TlsStatus::Closed;
        break;
    case SSL_ERROR_SYSCALL:
        result.error = errno != 0 ? std::string("socket error ") + std::to_string(errno)
                                  : "the peer went away";
        ERR_clear_error();
        break;
    default:
        result.error = errorQueue();
        break;
    }
    return result;
}

} // namespace

TlsServer::~TlsServer()
{
    SSL_CTX_free(context);
}

bool TlsServer::makeContext(std::string& error)
{
    SSL_CTX_free(context);
    context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr) {
        error = "cannot set up TLS: " + errorQueue();
        return false;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    // A client that drops the connection without a goodbye has simply closed it.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    // The loop retries a write from where the queue stands, in pieces if the socket wants.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    return true;
}

bool TlsServer::useFiles(const std::string& certificateFile, const std::string& keyFile,
                         std::string& error)
{
    if (!makeContext(error))
        return false;
    if (SSL_CTX_use_certificate_chain_file(context, certificateFile.c_str()) != 1) {
        error = "cannot use the certificate " + certificateFile + ": " + errorQueue();
        return false;
    }
    if (SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context) != 1) {
        error = "cannot use the key " + keyFile + ": " + errorQueue();
        return false;
    }
    return true;
}

bool TlsServer::usePair(const KeyPair& pair, std::string& error)
{
    if (!makeContext(error))
        return false;
    if (!pair || SSL_CTX_use_certificate(context, pair.certificate.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context, pair.key.get()) != 1) {
        error = "cannot use the certificate made for the fault: " + errorQueue();
        return false;
    }
    return true;
}

SSL* TlsServer::open(int fd)
{
    if (context == nullptr)
        return nullptr;
    SSL* ssl = SSL_new(context);
    if (ssl != nullptr && SSL_set_fd(ssl, fd) != 1) {
        SSL_free(ssl);
        return nullptr;
    }
    if (ssl != nullptr)
        SSL_set_accept_state(ssl);
    return ssl;
}

TlsResult TlsServer::handshake(SSL* ssl)
{
    ERR_clear_error();
    const int returned = SSL_do_handshake(ssl);
    TlsResult result = outcome(ssl, returned);
    result.bytes = 0;
    if (result.status == TlsStatus::Closed) {
        result.status = TlsStatus::Failed;
        result.error = "closed during the handshake";
    }
    return result;
}

TlsResult TlsServer::read(SSL* ssl, char* buffer, std::size_t size)
{
    ERR_clear_error();
    return outcome(ssl, SSL_read(ssl, buffer, static_cast<int>(size)));
}

TlsResult TlsServer::write(SSL* ssl, const char* data, std::size_t size)
{
    ERR_clear_error();
    return outcome(ssl, SSL_write(ssl, data, static_cast<int>(size)));
}

void TlsServer::shutdown(SSL* ssl)
{
    if (ssl != nullptr && SSL_is_init_finished(ssl))
        SSL_shutdown(ssl);
}

void TlsServer::free(SSL* ssl)
{
    SSL_free(ssl);
}

} // namespace pbxsim
