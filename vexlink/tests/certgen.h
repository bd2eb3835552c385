// SPDX-License-Identifier: GPL-2.0-or-later
// Certificates, CRLs and name hashes made at test time with libcrypto.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <openssl/x509.h>

namespace vxtest {

// A name with one common name.
X509_NAME *makeName(const std::string &cn);
uint32_t nameHash(const std::string &cn);
// Eight lowercase hexadecimal digits.
std::string hex8(uint32_t hash);

// A PEM certificate with subject CN=subject signed as issued by CN=issuer.
// All certificates share one key, so any of them can stand as an issuer.
std::string certPem(const std::string &subject, const std::string &issuer, long serial = 1,
                    bool ca = true);
// A PEM CRL issued by CN=issuer that revokes the given serial numbers.
std::string crlPem(const std::string &issuer, const std::vector<long> &revoked = {});
// The certificate or CRL of pem again, encrypted under a pass phrase.
std::string encryptedPem(const std::string &pem);
// A PEM block of another kind, for files that mix kinds.
std::string otherPem();

X509 *parseCert(const std::string &pem);

// Distinct common names whose name hashes are all equal, found by a search.
std::vector<std::string> collidingNames(int count);

// The entries of dir ending in ".pem" or ".crt", in the order the directory
// lists them.
std::vector<std::string> pemListing(const std::string &dir);
// Sorted entry names of dir, without "." and "..".
std::vector<std::string> entries(const std::string &dir);
// The target of a symbolic link, or "" when path is no link.
std::string linkTarget(const std::string &path);

} // namespace vxtest
