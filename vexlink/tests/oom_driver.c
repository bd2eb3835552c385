// SPDX-License-Identifier: GPL-2.0-or-later
// Runs vexlink with one allocation failing: VEXLINK_FAIL_AT=n makes the n-th
// allocation made through libcrypto's allocator (which vexlink uses for all
// of its own memory) return NULL; 0 fails none. At exit, after libcrypto has
// released its state, the number of allocations made and of blocks still
// live are written to the file named by VEXLINK_ALLOC_REPORT.
// VEXLINK_WARM_UP names a PEM file whose certificates and CRLs are read and
// hashed before counting starts, so that the count covers the run itself
// rather than libcrypto's one-time set-up of its tables and providers.
#include "vexlink.h"

#include <stdlib.h>

#include <openssl/crypto.h>
#include <openssl/err.h>

static long fail_at;
static long allocations;
static long live;

static int armed;

static int should_fail(void)
{
	return armed && ++allocations == fail_at;
}

static void warm_up(const char *path)
{
	HashMaker_reader readers[] = { read_cert_name, read_crl_name };
	X509_NAME *name;
	FILE *fp;

	for (int i = 0; i < 2; i++) {
		fp = fopen(path, "r");
		if (!fp)
			exit(98);
		while (readers[i](&name, fp) == ERR_NONE && name) {
			(void)X509_NAME_hash_ex(name, NULL, NULL, NULL);
			X509_NAME_free(name);
		}
		fclose(fp);
	}
	ERR_clear_error();
}

static void *test_malloc(size_t num, const char *file, int line)
{
	void *p;

	(void)file;
	(void)line;
	if (should_fail())
		return NULL;
	p = malloc(num);
	if (p)
		live++;
	return p;
}

static void *test_realloc(void *str, size_t num, const char *file, int line)
{
	void *p;

	(void)file;
	(void)line;
	if (num == 0) {
		if (str)
			live--;
		free(str);
		return NULL;
	}
	if (should_fail())
		return NULL;
	p = realloc(str, num);
	if (p && !str)
		live++;
	return p;
}

static void test_free(void *str, const char *file, int line)
{
	(void)file;
	(void)line;
	if (str)
		live--;
	free(str);
}

int main(int argc, char **argv)
{
	const char *at = getenv("VEXLINK_FAIL_AT");
	const char *report = getenv("VEXLINK_ALLOC_REPORT");
	const char *warm = getenv("VEXLINK_WARM_UP");
	int status;
	FILE *f;

	fail_at = at ? atol(at) : 0;
	if (!CRYPTO_set_mem_functions(test_malloc, test_realloc, test_free))
		return 99;
	if (warm)
		warm_up(warm);
	armed = 1;
	status = vexlink_main(argc, argv);
	fflush(stdout);
	OPENSSL_cleanup();
	if (report && (f = fopen(report, "w")) != NULL) {
		fprintf(f, "%ld %ld\n", allocations, live);
		fclose(f);
	}
	return status;
}
