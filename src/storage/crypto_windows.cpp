#include "storage/crypto.h"

#include <windows.h>

#include <bcrypt.h>

#include <memory>
#include <vector>

#include "runtime/errors.h"
#include "storage/hex.h"

namespace tollwick {

namespace {

// NTSTATUS values of 0 and above are successes.
void check(NTSTATUS status, const char* what) {
    if (status < 0)
        throw Error(std::string(what) + " failed with status " + std::to_string(static_cast<unsigned long>(status)));
}

// One hash (or, with a key, HMAC) of `data` with the CNG algorithm `algorithm`.
std::string digestHex(const wchar_t* algorithm, std::string_view data, std::string_view key = {}, bool hmac = false) {
    BCRYPT_ALG_HANDLE provider = nullptr;
    check(::BCryptOpenAlgorithmProvider(&provider, algorithm, nullptr, hmac ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0),
          "Opening the digest");
    struct ProviderCloser {
        BCRYPT_ALG_HANDLE handle;
        ~ProviderCloser() { ::BCryptCloseAlgorithmProvider(handle, 0); }
    } providerCloser{provider};

    DWORD length = 0;
    ULONG written = 0;
    check(::BCryptGetProperty(provider, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof length, &written,
                              0),
          "Asking the digest length");
    BCRYPT_HASH_HANDLE hash = nullptr;
    // CNG does not change the key or the data; its signatures just lack the const.
    // An empty key still needs a pointer.
    static unsigned char emptyKey = 0;
    auto* keyBytes = key.empty() ? &emptyKey : reinterpret_cast<PUCHAR>(const_cast<char*>(key.data()));
    check(::BCryptCreateHash(provider, &hash, nullptr, 0, hmac ? keyBytes : nullptr,
                             hmac ? static_cast<ULONG>(key.size()) : 0, 0),
          "Creating the digest");
    struct HashCloser {
        BCRYPT_HASH_HANDLE handle;
        ~HashCloser() { ::BCryptDestroyHash(handle); }
    } hashCloser{hash};

    // Fed in pieces of at most 1 GiB, since CNG takes a 32-bit length.
    constexpr std::size_t PIECE = std::size_t{1} << 30;
    for (std::size_t offset = 0; offset < data.size(); offset += PIECE) {
        const std::string_view piece = data.substr(offset, PIECE);
        check(::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(piece.data())),
                               static_cast<ULONG>(piece.size()), 0),
              "Computing the digest");
    }
    std::vector<unsigned char> out(length);
    check(::BCryptFinishHash(hash, out.data(), length, 0), "Finishing the digest");
    return toHex(out.data(), out.size());
}

} // namespace

std::string getHash(std::string_view str) {
    return digestHex(BCRYPT_SHA256_ALGORITHM, str);
}

std::string md5Hex(std::string_view bytes) {
    return digestHex(BCRYPT_MD5_ALGORITHM, bytes);
}

// The running MD5: CNG's provider and hash; hex() finishes a duplicate, so more may follow.
struct Md5Context {
    BCRYPT_ALG_HANDLE provider = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    DWORD length = 0;
    ~Md5Context() {
        if (hash)
            ::BCryptDestroyHash(hash);
        if (provider)
            ::BCryptCloseAlgorithmProvider(provider, 0);
    }
};

Md5Digest::Md5Digest() : _context(nullptr) {
    auto context = std::make_unique<Md5Context>();
    ULONG written = 0;
    check(::BCryptOpenAlgorithmProvider(&context->provider, BCRYPT_MD5_ALGORITHM, nullptr, 0), "Opening the digest");
    check(::BCryptGetProperty(context->provider, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&context->length),
                              sizeof context->length, &written, 0),
          "Asking the digest length");
    check(::BCryptCreateHash(context->provider, &context->hash, nullptr, 0, nullptr, 0, 0), "Creating the digest");
    _context = context.release();
}

Md5Digest::~Md5Digest() {
    delete static_cast<Md5Context*>(_context);
}

void Md5Digest::update(std::string_view bytes) {
    auto* context = static_cast<Md5Context*>(_context);
    constexpr std::size_t PIECE = std::size_t{1} << 30;
    for (std::size_t offset = 0; offset < bytes.size(); offset += PIECE) {
        const std::string_view piece = bytes.substr(offset, PIECE);
        check(::BCryptHashData(context->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(piece.data())),
                               static_cast<ULONG>(piece.size()), 0),
              "Computing the digest");
    }
}

std::string Md5Digest::hex() {
    auto* context = static_cast<Md5Context*>(_context);
    BCRYPT_HASH_HANDLE copy = nullptr;
    check(::BCryptDuplicateHash(context->hash, &copy, nullptr, 0, 0), "Copying the digest");
    std::vector<unsigned char> out(context->length);
    const NTSTATUS finished = ::BCryptFinishHash(copy, out.data(), context->length, 0);
    ::BCryptDestroyHash(copy);
    check(finished, "Finishing the digest");
    return toHex(out.data(), out.size());
}

std::string hmacSha256Hex(std::string_view key, std::string_view message) {
    return digestHex(BCRYPT_SHA256_ALGORITHM, message, key, true);
}

std::string secureRandomHex(std::size_t count) {
    std::vector<unsigned char> bytes(count);
    if (count > 0)
        check(::BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG),
              "The secure random generator");
    return toHex(bytes.data(), count);
}

} // namespace tollwick
