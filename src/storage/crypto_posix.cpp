#include "storage/crypto.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <vector>

#include "runtime/errors.h"
#include "storage/hex.h"

namespace tollwick {

namespace {

std::string digestHex(const EVP_MD* md, std::string_view data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), out, &length, md, nullptr) != 1)
        throw Error("The digest could not be computed");
    return toHex(out, length);
}

} // namespace

std::string getHash(std::string_view str) {
    return digestHex(EVP_sha256(), str);
}

std::string md5Hex(std::string_view bytes) {
    return digestHex(EVP_md5(), bytes);
}

Md5Digest::Md5Digest() : _context(EVP_MD_CTX_new()) {
    if (!_context || EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(_context), EVP_md5(), nullptr) != 1)
        throw Error("The digest could not be computed");
}

Md5Digest::~Md5Digest() {
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(_context));
}

void Md5Digest::update(std::string_view bytes) {
    if (EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(_context), bytes.data(), bytes.size()) != 1)
        throw Error("The digest could not be computed");
}

std::string Md5Digest::hex() {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    const bool ok = copy && EVP_MD_CTX_copy_ex(copy, static_cast<EVP_MD_CTX*>(_context)) == 1 &&
                    EVP_DigestFinal_ex(copy, out, &length) == 1;
    EVP_MD_CTX_free(copy);
    if (!ok)
        throw Error("The digest could not be computed");
    return toHex(out, length);
}

std::string hmacSha256Hex(std::string_view key, std::string_view message) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &length) == nullptr)
        throw Error("HMAC-SHA256 failed");
    return toHex(digest, length);
}

std::string secureRandomHex(std::size_t count) {
    std::vector<unsigned char> bytes(count);
    if (RAND_bytes(bytes.data(), static_cast<int>(count)) != 1)
        throw Error("The secure random generator failed");
    return toHex(bytes.data(), count);
}

} // namespace tollwick
