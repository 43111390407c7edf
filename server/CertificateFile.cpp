#include "server/CertificateFile.h"

#include "platform/core/Exception.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <memory>

std::string CertificateFile::Sha256Fingerprint(const std::string& path)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(path.c_str(), "r"), &BIO_free);
    if (!bio) {
        throw EInvalidOperation("Cannot read the TLS certificate file " + path);
    }
    std::unique_ptr<X509, decltype(&X509_free)> cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr),
                                                     &X509_free);
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!cert || X509_digest(cert.get(), EVP_sha256(), md, &size) != 1) {
        throw EInvalidOperation("The TLS certificate file " + path + " holds no PEM certificate");
    }
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : ":%02X", md[i]);
        text += hex;
    }
    return text;
}
