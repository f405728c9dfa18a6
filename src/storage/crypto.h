#pragma once
// Digests, message authentication and randomness for the password store, the file checks and the
// session cookie.
#include <cstddef>
#include <string>
#include <string_view>

namespace tollwick {

// SHA-256 of the UTF-8 bytes of `str`, as 64 lowercase hexadecimal digits.
std::string getHash(std::string_view str);

// MD5 of bytes, as 32 lowercase hexadecimal digits (recognises files already uploaded).
std::string md5Hex(std::string_view bytes);

// MD5 of bytes that come in pieces (an upload as it arrives).
class Md5Digest {
public:
    Md5Digest();
    ~Md5Digest();
    Md5Digest(const Md5Digest&) = delete;
    Md5Digest& operator=(const Md5Digest&) = delete;
    void update(std::string_view bytes);
    // The digest of everything given so far, as 32 lowercase hexadecimal digits.
    std::string hex();

private:
    void* _context;
};

// HMAC-SHA256 of `message` under `key`, as 64 lowercase hexadecimal digits.
std::string hmacSha256Hex(std::string_view key, std::string_view message);

// `count` bytes from the platform's cryptographically secure generator, as lowercase hexadecimal.
std::string secureRandomHex(std::size_t count);

// Compares two texts in time that depends only on their lengths.
bool constantTimeEquals(std::string_view a, std::string_view b) noexcept;

} // namespace tollwick
