#pragma once
// A self-signed certificate for 127.0.0.1, made afresh for a test, for an HTTPS fake service.
#include <filesystem>

namespace tollwick::test {

struct CertificateFiles {
    std::filesystem::path certificate; // PEM; also usable as the one trusted authority
    std::filesystem::path privateKey;  // PEM
};

// Writes "<name>.crt" and "<name>.key" into `directory`. The certificate names 127.0.0.1 in its
// subject and as an IP address among its alternative names, and is valid from an hour ago for a day.
CertificateFiles makeLoopbackCertificate(const std::filesystem::path& directory, const char* name = "loopback");

} // namespace tollwick::test
