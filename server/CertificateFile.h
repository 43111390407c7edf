#pragma once
// The server's TLS certificate as an administrator names it to the clients:
// the SHA-256 fingerprint of its first certificate, upper-case hexadecimal
// bytes apart by ':', as `openssl x509 -noout -fingerprint -sha256` prints it
// and as a session's TlsFingerprint takes it.
//
// Failure behaviour: Sha256Fingerprint throws EInvalidOperation naming the
// file when it cannot be read or holds no PEM certificate.
#include <string>

class CertificateFile {
public:
    static std::string Sha256Fingerprint(const std::string& path);
};
