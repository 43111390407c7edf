#pragma once
// Files the server reads that others must not read or change: the shared
// secret, the credentials, the TLS key. Such a file is private when neither
// its group nor others have any right on it; or, when root owns it, when its
// group may only read it, so that root keeps the file and the server reads it
// as a member of its group (root:servcliente, mode 0640).
//
// Failure behaviour: RequirePrivate throws EInvalidOperation naming the file,
// its mode and its owner when the file is not private; a file that does not
// exist passes (whoever reads it next says so). Read throws EInvalidOperation
// for such a file, one that cannot be read, or one larger than maxSize.
#include <cstddef>
#include <string>

class PrivateFile {
public:
    // Whether a file of this mode (its permission bits) and owner is private.
    static bool IsPrivate(unsigned mode, unsigned owner);
    // what names the file in the message ("secret file", "TLS key file").
    static void RequirePrivate(const std::string& path, const std::string& what);
    static std::string Read(const std::string& path, const std::string& what, size_t maxSize = 1 << 20);
};
