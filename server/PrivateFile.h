#pragma once
// Files the server reads that others than its owner must not read or change:
// the shared secret, the credentials, the TLS certificate and key.
//
// Failure behaviour: RequireOwnerOnly throws EInvalidOperation naming the
// file and its mode when its group or others have any right on it; a file
// that does not exist passes (whoever reads it next says so). Read throws
// EInvalidOperation for such a file, one that cannot be read, or one larger
// than maxSize.
#include <cstddef>
#include <string>

class PrivateFile {
public:
    // what names the file in the message ("secret file", "TLS key file").
    static void RequireOwnerOnly(const std::string& path, const std::string& what);
    static std::string Read(const std::string& path, const std::string& what, size_t maxSize = 1 << 20);
};
