// SPDX-License-Identifier: GPL-2.0-or-later
// Links arbitrary PEM files of one scratch directory, as the directory pass
// does, and checks every link made: it points to one of the files and is
// named by the hash of an object that file holds, read here on its own.
#include <dirent.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/pem.h>

#include "fuzz_scratch.h"
#include "vexlink.h"

#define FILES 3
#define MAX_OBJECTS 64

static const char *const file_names[FILES] = { "a.pem", "b.pem", "c.crt" };

// The hashes of the names a file holds, per kind.
struct holdings {
	uint32_t hash[2][MAX_OBJECTS];
	size_t count[2];
};

static void hold(struct holdings *h, int crl, const X509_NAME *name)
{
	if (name && h->count[crl] < MAX_OBJECTS)
		h->hash[crl][h->count[crl]++] = (uint32_t)X509_NAME_hash((X509_NAME *)name);
}

static void read_holdings(const char *text, size_t size, struct holdings *h)
{
	BIO *in = BIO_new_mem_buf(text, (int)size);

	memset(h, 0, sizeof *h);
	for (int blocks = 0; blocks < 4 * MAX_OBJECTS && !BIO_eof(in); blocks++) {
		char *pem_name = NULL, *header = NULL;
		unsigned char *der = NULL;
		long len = 0;

		if (PEM_read_bio(in, &pem_name, &header, &der, &len) == 1) {
			const unsigned char *p = der;
			if (strcmp(pem_name, PEM_STRING_X509_CRL) == 0) {
				X509_CRL *crl = d2i_X509_CRL(NULL, &p, len);
				hold(h, 1, crl ? X509_CRL_get_issuer(crl) : NULL);
				X509_CRL_free(crl);
			} else if (strcmp(pem_name, PEM_STRING_X509) == 0 ||
				   strcmp(pem_name, PEM_STRING_X509_OLD) == 0 ||
				   strcmp(pem_name, PEM_STRING_X509_TRUSTED) == 0) {
				X509 *cert = d2i_X509_AUX(NULL, &p, len);
				hold(h, 0, cert ? X509_get_subject_name(cert) : NULL);
				X509_free(cert);
			}
		}
		OPENSSL_free(pem_name);
		OPENSSL_free(header);
		OPENSSL_free(der);
	}
	BIO_free(in);
	ERR_clear_error();
}

static int holds(const struct holdings *h, int crl, uint32_t hash)
{
	for (size_t i = 0; i < h->count[crl]; i++)
		if (h->hash[crl][i] == hash)
			return 1;
	return 0;
}

// Aborts unless the entry is one of the files or a link to a file that
// holds an object of the name's hash and kind.
static void check_entry(const char *dir, const char *name, const struct holdings *held)
{
	char path[4096], target[256];
	const char *digits;
	unsigned int hash, index;
	int crl = 0, consumed = 0, file;
	ssize_t n;

	for (file = 0; file < FILES; file++)
		if (strcmp(name, file_names[file]) == 0)
			return;
	// eight lower-case hexadecimal digits, '.', 'r' for a CRL, the index
	if (strspn(name, "0123456789abcdef") != 8 ||
	    sscanf(name, "%8x.%n", &hash, &consumed) != 1 || consumed != 9)
		abort();
	crl = name[9] == 'r';
	digits = name + 9 + crl;
	if (!*digits || strspn(digits, "0123456789") != strlen(digits) ||
	    (digits[0] == '0' && digits[1]) || sscanf(digits, "%u", &index) != 1 || index > 999)
		abort();
	(void)snprintf(path, sizeof path, "%s/%s", dir, name);
	n = readlink(path, target, sizeof target - 1);
	if (n < 0)
		abort();
	target[n] = '\0';
	for (file = 0; file < FILES; file++)
		if (strcmp(target, file_names[file]) == 0)
			break;
	if (file == FILES || !holds(&held[file], crl, hash))
		abort();
}

static void write_file(const char *dir, const char *name, const char *text, size_t size)
{
	char path[4096];
	FILE *f;

	(void)snprintf(path, sizeof path, "%s/%s", dir, name);
	f = fopen(path, "we");
	if (!f || fwrite(text, 1, size, f) != size || fclose(f) != 0)
		abort();
}

// The input, split at zero bytes, gives the contents of up to three files.
int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const char *dir = fuzz_scratch_dir();
	struct holdings held[FILES];
	HashMaker *certs = NULL, *crls = NULL;
	const char *text = (const char *)data;
	size_t at = 0;
	int files = 0;
	DIR *d;
	struct dirent *e;

	if (size > 65536)
		return 0;
	while (files < FILES && (at < size || files == 0)) {
		const char *end = memchr(text + at, '\0', size - at);
		size_t len = end ? (size_t)(end - (text + at)) : size - at;

		write_file(dir, file_names[files], text + at, len);
		read_holdings(text + at, len, &held[files]);
		files++;
		at += len + 1;
	}

	if (HashMaker_new(&certs, dir, "", "certificate", read_cert_name) != ERR_NONE ||
	    HashMaker_new(&crls, dir, "r", "CRL", read_crl_name) != ERR_NONE)
		abort();
	for (int i = 0; i < files; i++)
		if (HashMaker_add_file(certs, file_names[i]) != ERR_NONE ||
		    HashMaker_add_file(crls, file_names[i]) != ERR_NONE)
			abort();
	HashMaker_free(certs);
	HashMaker_free(crls);
	ERR_clear_error();

	d = opendir(dir);
	if (!d)
		abort();
	while ((e = readdir(d)) != NULL)
		if (e->d_name[0] != '.')
			check_entry(dir, e->d_name, held);
	(void)closedir(d);
	fuzz_scratch_clean(dir);
	return 0;
}
