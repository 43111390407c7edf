#pragma once
// Salted slow hashes of operators' secrets: scrypt (OpenSSL's EVP_PBE_scrypt)
// with a random 16-byte salt, stored as one text
//
//   $scrypt$ln=15,r=8,p=1$SALT$HASH        (SALT and HASH in base64)
//
// where the cost N is 2 to the power ln. Make uses ln=15, r=8, p=1: some
// 32 MiB and a tenth of a second a verification; at most two verifications
// run at once, so a burst of handshakes cannot take the server's memory.
//
// Failure behaviour: Parse (and Verify on a text that Parse refuses) throws
// EConvertError saying what is wrong with the text; Make throws
// EInvalidOperation when OpenSSL has no randomness or no memory for it.
#include <string>

class PasswordHash {
public:
    static std::string Make(const std::string& secret);
    // Compares in a time that does not depend on where the secrets differ.
    static bool Verify(const std::string& stored, const std::string& secret);
    // Checks a stored text without verifying anything.
    static void Parse(const std::string& stored);
};
