#include "web/hmac.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "model/errors.h"

namespace tollwick::web {

std::string hmacSha256Hex(std::string_view key, std::string_view message) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &length) == nullptr)
        throw Error("HMAC-SHA256 failed");
    static constexpr char HEX[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        out.push_back(HEX[digest[i] >> 4]);
        out.push_back(HEX[digest[i] & 0xF]);
    }
    return out;
}

} // namespace tollwick::web
