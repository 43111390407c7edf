#pragma once
// The TLS settings of one end of a connection: the server's certificate and
// key, or what the client checks the server against (a CA file, a pinned
// SHA-256 fingerprint of the server's certificate, or both). A SocketChannel
// given a context speaks TLS; OpenSSL and Asio stay out of this header.
//
// Failure behaviour: ForServer throws EInvalidOperation naming the file that
// cannot be read or used (a certificate that is not PEM, a key that does not
// match it); ForClient throws ESocketError for a CA file that cannot be read
// and EConvertError for a fingerprint that is not 64 hexadecimal digits.
#include <memory>
#include <string>

class TlsContext {
public:
    static std::shared_ptr<TlsContext> ForServer(const std::string& certFile, const std::string& keyFile);
    // At least one of caFile and fingerprint is given; with both, both must hold.
    static std::shared_ptr<TlsContext> ForClient(const std::string& caFile, const std::string& fingerprint);

    // A SHA-256 fingerprint as 64 lower-case hexadecimal digits; the text may
    // be upper or lower case, with or without ':' between the bytes (as
    // `openssl x509 -fingerprint -sha256` prints it).
    static std::string NormalizeFingerprint(const std::string& text);

    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    bool IsServer() const { return server_; }
    const std::string& CaFile() const { return caFile_; }
    const std::string& Fingerprint() const { return fingerprint_; }

    // The Asio context (defined in SocketChannelIo.h).
    struct Native;
    Native& Asio() { return *native_; }

private:
    explicit TlsContext(bool server);

    bool server_;
    std::string caFile_;
    std::string fingerprint_;
    std::unique_ptr<Native> native_;
};
