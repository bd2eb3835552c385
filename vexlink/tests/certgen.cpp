// SPDX-License-Identifier: GPL-2.0-or-later
#include "certgen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace vxtest {

namespace {

EVP_PKEY *sharedKey()
{
    static EVP_PKEY *key = EVP_EC_gen("P-256");
    return key;
}

std::string bioText(BIO *bio)
{
    char *data = nullptr;
    long len = BIO_get_mem_data(bio, &data);
    std::string text(data, size_t(len));
    BIO_free(bio);
    return text;
}

void addExtension(X509 *cert, int nid, const char *value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION *ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

} // namespace

X509_NAME *makeName(const std::string &cn)
{
    X509_NAME *name = X509_NAME_new();
    X509_NAME_add_entry_by_txt(name,
                               "CN",
                               MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char *>(cn.data()),
                               int(cn.size()),
                               -1,
                               0);
    return name;
}

uint32_t nameHash(const std::string &cn)
{
    X509_NAME *name = makeName(cn);
    uint32_t h = uint32_t(X509_NAME_hash_ex(name, nullptr, nullptr, nullptr));
    X509_NAME_free(name);
    return h;
}

std::string hex8(uint32_t hash)
{
    char buf[9];
    snprintf(buf, sizeof buf, "%08x", unsigned(hash));
    return buf;
}

std::string certPem(const std::string &subject, const std::string &issuer, long serial, bool ca)
{
    X509 *cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
    X509_NAME *s = makeName(subject), *i = makeName(issuer);
    X509_set_subject_name(cert, s);
    X509_set_issuer_name(cert, i);
    X509_NAME_free(s);
    X509_NAME_free(i);
    X509_gmtime_adj(X509_getm_notBefore(cert), -86400);
    X509_gmtime_adj(X509_getm_notAfter(cert), 86400L * 3650);
    X509_set_pubkey(cert, sharedKey());
    if (ca) {
        addExtension(cert, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert, NID_key_usage, "critical,keyCertSign,cRLSign");
    }
    EXPECT_GT(X509_sign(cert, sharedKey(), EVP_sha256()), 0);
    BIO *bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    X509_free(cert);
    return bioText(bio);
}

std::string crlPem(const std::string &issuer, const std::vector<long> &revoked)
{
    X509_CRL *crl = X509_CRL_new();
    X509_CRL_set_version(crl, 1);
    X509_NAME *i = makeName(issuer);
    X509_CRL_set_issuer_name(crl, i);
    X509_NAME_free(i);
    ASN1_TIME *t = X509_gmtime_adj(nullptr, -3600);
    X509_CRL_set1_lastUpdate(crl, t);
    X509_gmtime_adj(t, 86400L * 30);
    X509_CRL_set1_nextUpdate(crl, t);
    ASN1_TIME_free(t);
    for (long serial : revoked) {
        X509_REVOKED *r = X509_REVOKED_new();
        ASN1_INTEGER *n = ASN1_INTEGER_new();
        ASN1_INTEGER_set(n, serial);
        X509_REVOKED_set_serialNumber(r, n);
        ASN1_INTEGER_free(n);
        ASN1_TIME *when = X509_gmtime_adj(nullptr, -1800);
        X509_REVOKED_set_revocationDate(r, when);
        ASN1_TIME_free(when);
        X509_CRL_add0_revoked(crl, r);
    }
    X509_CRL_sort(crl);
    EXPECT_GT(X509_CRL_sign(crl, sharedKey(), EVP_sha256()), 0);
    BIO *bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509_CRL(bio, crl);
    X509_CRL_free(crl);
    return bioText(bio);
}

std::string encryptedPem(const std::string &pem)
{
    static const char passPhrase[] = "vexlink test";
    BIO *in = BIO_new_mem_buf(pem.data(), int(pem.size()));
    BIO *out = BIO_new(BIO_s_mem());
    unsigned char *key = reinterpret_cast<unsigned char *>(const_cast<char *>(passPhrase));
    int keyLen = int(sizeof passPhrase - 1);
    if (X509 *cert = PEM_read_bio_X509(in, nullptr, nullptr, nullptr)) {
        EXPECT_TRUE(PEM_ASN1_write_bio(reinterpret_cast<i2d_of_void *>(i2d_X509),
                                       PEM_STRING_X509,
                                       out,
                                       cert,
                                       EVP_aes_128_cbc(),
                                       key,
                                       keyLen,
                                       nullptr,
                                       nullptr));
        X509_free(cert);
    } else {
        (void)BIO_reset(in);
        X509_CRL *crl = PEM_read_bio_X509_CRL(in, nullptr, nullptr, nullptr);
        EXPECT_NE(crl, nullptr);
        EXPECT_TRUE(PEM_ASN1_write_bio(reinterpret_cast<i2d_of_void *>(i2d_X509_CRL),
                                       PEM_STRING_X509_CRL,
                                       out,
                                       crl,
                                       EVP_aes_128_cbc(),
                                       key,
                                       keyLen,
                                       nullptr,
                                       nullptr));
        X509_CRL_free(crl);
    }
    BIO_free(in);
    std::string text = bioText(out);
    EXPECT_NE(text.find("Proc-Type: 4,ENCRYPTED\nDEK-Info: "), std::string::npos) << text;
    return text;
}

std::string otherPem()
{
    BIO *bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PUBKEY(bio, sharedKey());
    return bioText(bio);
}

X509 *parseCert(const std::string &pem)
{
    BIO *bio = BIO_new_mem_buf(pem.data(), int(pem.size()));
    X509 *cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    return cert;
}

std::vector<std::string> collidingNames(int count)
{
    // A one-RDN name CN=vxNNNNNNNN hashes as the first four bytes (little
    // endian) of the SHA-1 of this DER SET, which can be digested far faster
    // than names can be built. Candidates are confirmed with the library.
    static const unsigned char prefix[]
        = {0x31, 0x13, 0x30, 0x11, 0x06, 0x03, 0x55, 0x04, 0x03, 0x0c, 0x0a, 'v', 'x'};
    auto cnOf = [](uint32_t i) {
        char buf[11];
        snprintf(buf, sizeof buf, "vx%08x", unsigned(i));
        return std::string(buf);
    };
    EVP_MD *sha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    std::vector<uint64_t> seen; // hash << 32 | counter
    std::vector<std::string> found;
    for (uint32_t limit = 1u << 17; found.empty() && limit <= (1u << 25); limit <<= 1) {
        for (uint32_t i = uint32_t(seen.size()); i < limit; ++i) {
            unsigned char der[sizeof prefix + 8], md[EVP_MAX_MD_SIZE];
            memcpy(der, prefix, sizeof prefix);
            memcpy(der + sizeof prefix, cnOf(i).c_str() + 2, 8);
            EVP_DigestInit_ex2(ctx, sha1, nullptr);
            EVP_DigestUpdate(ctx, der, sizeof der);
            EVP_DigestFinal_ex(ctx, md, nullptr);
            uint32_t h
                = md[0] | uint32_t(md[1]) << 8 | uint32_t(md[2]) << 16 | uint32_t(md[3]) << 24;
            seen.push_back(uint64_t(h) << 32 | i);
        }
        std::vector<uint64_t> sorted = seen;
        std::sort(sorted.begin(), sorted.end());
        for (size_t i = 0; i + count <= sorted.size(); ++i) {
            if ((sorted[i] >> 32) == (sorted[i + count - 1] >> 32)) {
                for (int k = 0; k < count; ++k) {
                    found.push_back(cnOf(uint32_t(sorted[i + k])));
                }
                break;
            }
        }
    }
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(sha1);
    if (found.empty()) {
        ADD_FAILURE() << "no " << count << " names with one hash found";
        return found;
    }
    for (const auto &cn : found) {
        EXPECT_EQ(nameHash(cn), nameHash(found[0])) << cn << " vs " << found[0];
    }
    return found;
}

std::vector<std::string> pemListing(const std::string &dir)
{
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (!d) {
        ADD_FAILURE() << "cannot list " << dir;
        return names;
    }
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > 4
            && (n.compare(n.size() - 4, 4, ".pem") == 0
                || n.compare(n.size() - 4, 4, ".crt") == 0)) {
            names.push_back(n);
        }
    }
    closedir(d);
    return names;
}

std::vector<std::string> entries(const std::string &dir)
{
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (!d) {
        ADD_FAILURE() << "cannot list " << dir;
        return names;
    }
    while (dirent *e = readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) {
            names.push_back(e->d_name);
        }
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string linkTarget(const std::string &path)
{
    char buf[4096];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf);
    return n < 0 ? std::string() : std::string(buf, size_t(n));
}

} // namespace vxtest
