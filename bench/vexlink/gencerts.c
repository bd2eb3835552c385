// SPDX-License-Identifier: GPL-2.0-or-later
// gencerts DIR COUNT: writes COUNT self-signed CA certificates with distinct
// subject names, one per file DIR/certNNNNN.pem, all sharing one key.
#include <stdio.h>
#include <stdlib.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

static int write_cert(const char *dir, long i, EVP_PKEY *key)
{
	char cn[64], path[4096];
	X509 *cert = X509_new();
	X509_NAME *name = X509_NAME_new();
	FILE *f;
	int ok;

	snprintf(cn, sizeof(cn), "Bench Root %ld", i);
	X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, (const unsigned char *)"Vexlink Bench",
				   -1, -1, 0);
	X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, (const unsigned char *)cn, -1, -1, 0);
	X509_set_version(cert, 2);
	ASN1_INTEGER_set(X509_get_serialNumber(cert), i + 1);
	X509_set_subject_name(cert, name);
	X509_set_issuer_name(cert, name);
	X509_gmtime_adj(X509_getm_notBefore(cert), 0);
	X509_gmtime_adj(X509_getm_notAfter(cert), 86400L * 365);
	X509_set_pubkey(cert, key);
	ok = X509_sign(cert, key, EVP_sha256()) > 0;
	snprintf(path, sizeof(path), "%s/cert%05ld.pem", dir, i);
	f = fopen(path, "w");
	ok = ok && f && PEM_write_X509(f, cert);
	if (f)
		ok = fclose(f) == 0 && ok;
	X509_NAME_free(name);
	X509_free(cert);
	return ok;
}

int main(int argc, char **argv)
{
	EVP_PKEY *key;
	long count;

	if (argc != 3) {
		fprintf(stderr, "usage: gencerts DIR COUNT\n");
		return 2;
	}
	count = atol(argv[2]);
	key = EVP_EC_gen("P-256");
	if (!key)
		return 1;
	for (long i = 0; i < count; i++) {
		if (!write_cert(argv[1], i, key)) {
			fprintf(stderr, "gencerts: cannot write certificate %ld\n", i);
			return 1;
		}
	}
	EVP_PKEY_free(key);
	return 0;
}
