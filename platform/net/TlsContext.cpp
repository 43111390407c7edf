#include "platform/net/TlsContext.h"

#include "platform/core/Exception.h"
#include "platform/net/SocketChannelIo.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace {

// OpenSSL's reason for the last failure, or what asio reported.
std::string Reason(const asio::error_code& ec)
{
    unsigned long e = ERR_peek_last_error();
    ERR_clear_error();
    if (e != 0) {
        char text[256];
        ERR_error_string_n(e, text, sizeof text);
        return text;
    }
    return ec.message();
}

void RequireTls12(asio::ssl::context& context)
{
    SSL_CTX_set_min_proto_version(context.native_handle(), TLS1_2_VERSION);
}

} // namespace

TlsContext::TlsContext(bool server)
    : server_(server),
      native_(std::make_unique<Native>(server ? asio::ssl::context::tls_server : asio::ssl::context::tls_client))
{
    RequireTls12(native_->context);
}

TlsContext::~TlsContext() = default;

std::shared_ptr<TlsContext> TlsContext::ForServer(const std::string& certFile, const std::string& keyFile)
{
    std::shared_ptr<TlsContext> tls(new TlsContext(true));
    auto& context = tls->native_->context;
    asio::error_code ec;
    context.use_certificate_chain_file(certFile, ec);
    if (ec) {
        throw EInvalidOperation("Cannot use the TLS certificate file " + certFile + ": " + Reason(ec));
    }
    context.use_private_key_file(keyFile, asio::ssl::context::pem, ec);
    if (ec) {
        throw EInvalidOperation("Cannot use the TLS key file " + keyFile + ": " + Reason(ec));
    }
    if (SSL_CTX_check_private_key(context.native_handle()) != 1) {
        ERR_clear_error();
        throw EInvalidOperation("The TLS key file " + keyFile + " does not belong to the certificate in " + certFile);
    }
    // No session tickets: a ticket sent after the handshake would wait unread
    // in the client's socket and look like data nobody asked for.
    SSL_CTX_set_num_tickets(context.native_handle(), 0);
    return tls;
}

std::shared_ptr<TlsContext> TlsContext::ForClient(const std::string& caFile, const std::string& fingerprint)
{
    if (caFile.empty() && fingerprint.empty()) {
        throw EInvalidOperation("TLS needs a CA file or a certificate fingerprint to check the server against");
    }
    std::shared_ptr<TlsContext> tls(new TlsContext(false));
    tls->caFile_ = caFile;
    tls->fingerprint_ = fingerprint.empty() ? std::string() : NormalizeFingerprint(fingerprint);
    if (!caFile.empty()) {
        asio::error_code ec;
        tls->native_->context.load_verify_file(caFile, ec);
        if (ec) {
            throw ESocketError("the CA file " + caFile + " cannot be read: " + Reason(ec));
        }
    }
    return tls;
}

std::string TlsContext::NormalizeFingerprint(const std::string& text)
{
    std::string hex;
    for (char c : text) {
        if (c == ':') {
            continue;
        }
        if (c >= 'A' && c <= 'F') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            throw EConvertError("'" + text + "' is not a SHA-256 fingerprint (64 hexadecimal digits, ':' allowed)");
        }
        hex += c;
    }
    if (hex.size() != 64) {
        throw EConvertError("'" + text + "' is not a SHA-256 fingerprint: it has " + std::to_string(hex.size()) +
                            " hexadecimal digits, not 64");
    }
    return hex;
}
