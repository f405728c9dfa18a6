#include "test_certificate.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace tollwick::test {

namespace {

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION, X509_EXTENSION_free>>;

void check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("Making a test certificate failed at ") + what);
}

void addExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    ExtPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    check(extension != nullptr, "an extension");
    check(X509_add_ext(certificate, extension.get(), -1) == 1, "adding an extension");
}

void writePem(const std::filesystem::path& path, const auto& write) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr, "opening a PEM file");
    const bool ok = write(file);
    std::fclose(file);
    check(ok, "writing a PEM file");
}

} // namespace

CertificateFiles makeLoopbackCertificate(const std::filesystem::path& directory, const char* name) {
    KeyPtr key(EVP_EC_gen("P-256"));
    check(key != nullptr, "the key");

    CertPtr certificate(X509_new());
    check(certificate != nullptr, "the certificate");
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 24 * 3600);
    check(X509_set_pubkey(certificate.get(), key.get()) == 1, "the public key");

    X509_NAME* subject = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                               0);
    check(X509_set_issuer_name(certificate.get(), subject) == 1, "the issuer");
    addExtension(certificate.get(), NID_basic_constraints, "critical,CA:TRUE");
    addExtension(certificate.get(), NID_subject_alt_name, "IP:127.0.0.1");
    check(X509_sign(certificate.get(), key.get(), EVP_sha256()) > 0, "signing");

    CertificateFiles files{directory / (std::string(name) + ".crt"), directory / (std::string(name) + ".key")};
    writePem(files.certificate, [&](std::FILE* file) { return PEM_write_X509(file, certificate.get()) == 1; });
    writePem(files.privateKey, [&](std::FILE* file) {
        return PEM_write_PrivateKey(file, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    });
    return files;
}

} // namespace tollwick::test
