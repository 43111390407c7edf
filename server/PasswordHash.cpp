#include "server/PasswordHash.h"

#include "platform/core/Exception.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

constexpr int kLogN = 15;
constexpr int kR = 8;
constexpr int kP = 1;
constexpr size_t kSaltSize = 16;
constexpr size_t kHashSize = 32;
constexpr int kMaxRunning = 2;

struct Parsed {
    int logN = 0;
    int r = 0;
    int p = 0;
    std::string salt;
    std::string hash;
};

std::string Base64(const std::string& bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string Unbase64(const std::string& text, const char* what)
{
    if (text.empty() || text.size() % 4 != 0 || text.size() > 256) {
        throw EConvertError(std::string("the ") + what + " is not base64");
    }
    std::string out(text.size() / 4 * 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) {
        throw EConvertError(std::string("the ") + what + " is not base64");
    }
    // EVP_DecodeBlock counts the padding as zero bytes.
    size_t size = static_cast<size_t>(n);
    for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) {
        --size;
    }
    out.resize(size);
    return out;
}

int Number(const std::string& text, const char* name, int low, int high)
{
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) {
        throw EConvertError(std::string("the scrypt parameter ") + name + " is not a number");
    }
    const int value = std::stoi(text);
    if (value < low || value > high) {
        throw EConvertError(std::string("the scrypt parameter ") + name + " = " + text + " is outside " +
                            std::to_string(low) + " to " + std::to_string(high));
    }
    return value;
}

Parsed ParseText(const std::string& stored)
{
    const std::string head = "$scrypt$";
    if (stored.rfind(head, 0) != 0) {
        throw EConvertError("the hash does not start with $scrypt$ (make one with: appserver passwd)");
    }
    std::vector<std::string> parts;
    size_t at = head.size();
    for (;;) {
        const size_t next = stored.find('$', at);
        parts.push_back(stored.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos) {
            break;
        }
        at = next + 1;
    }
    if (parts.size() != 3) {
        throw EConvertError("the hash is not $scrypt$ln=N,r=R,p=P$SALT$HASH");
    }
    Parsed p;
    const std::string& params = parts[0];
    const std::string lnKey = "ln=";
    const size_t r = params.find(",r=");
    const size_t pp = params.find(",p=");
    if (params.rfind(lnKey, 0) != 0 || r == std::string::npos || pp == std::string::npos || pp < r) {
        throw EConvertError("the hash's parameters are not ln=N,r=R,p=P");
    }
    p.logN = Number(params.substr(3, r - 3), "ln", 10, 20);
    p.r = Number(params.substr(r + 3, pp - r - 3), "r", 1, 16);
    p.p = Number(params.substr(pp + 3), "p", 1, 4);
    p.salt = Unbase64(parts[1], "salt");
    p.hash = Unbase64(parts[2], "hash");
    if (p.salt.size() < 8 || p.hash.size() < 16 || p.hash.size() > 64) {
        throw EConvertError("the hash's salt or digest is too short");
    }
    return p;
}

// At most kMaxRunning derivations at once: each takes 128 * r * N bytes.
class Running {
public:
    Running()
    {
        std::unique_lock lock(mutex_);
        free_.wait(lock, [] { return running_ < kMaxRunning; });
        ++running_;
    }
    ~Running()
    {
        std::lock_guard lock(mutex_);
        --running_;
        free_.notify_one();
    }

private:
    static inline std::mutex mutex_;
    static inline std::condition_variable free_;
    static inline int running_ = 0;
};

std::string Derive(const std::string& secret, const Parsed& p, size_t size)
{
    std::string key(size, '\0');
    const uint64_t n = uint64_t{1} << p.logN;
    const uint64_t maxMem = 128 * static_cast<uint64_t>(p.r) * (n + static_cast<uint64_t>(p.p) + 2) + (1 << 20);
    Running slot;
    if (EVP_PBE_scrypt(secret.data(), secret.size(), reinterpret_cast<const unsigned char*>(p.salt.data()),
                       p.salt.size(), n, static_cast<uint64_t>(p.r), static_cast<uint64_t>(p.p), maxMem,
                       reinterpret_cast<unsigned char*>(key.data()), key.size()) != 1) {
        throw EInvalidOperation("scrypt failed (out of memory?)");
    }
    return key;
}

} // namespace

std::string PasswordHash::Make(const std::string& secret)
{
    Parsed p;
    p.logN = kLogN;
    p.r = kR;
    p.p = kP;
    p.salt.resize(kSaltSize);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(p.salt.data()), static_cast<int>(p.salt.size())) != 1) {
        throw EInvalidOperation("No randomness for a salt");
    }
    p.hash = Derive(secret, p, kHashSize);
    return "$scrypt$ln=" + std::to_string(p.logN) + ",r=" + std::to_string(p.r) + ",p=" + std::to_string(p.p) + "$" +
           Base64(p.salt) + "$" + Base64(p.hash);
}

bool PasswordHash::Verify(const std::string& stored, const std::string& secret)
{
    const Parsed p = ParseText(stored);
    const std::string key = Derive(secret, p, p.hash.size());
    return CRYPTO_memcmp(key.data(), p.hash.data(), key.size()) == 0;
}

void PasswordHash::Parse(const std::string& stored)
{
    ParseText(stored);
}
