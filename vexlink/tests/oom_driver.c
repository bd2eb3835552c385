// SPDX-License-Identifier: GPL-2.0-or-later
// Runs vexlink with one allocation failing: VEXLINK_FAIL_AT=n makes the n-th
// allocation of the run return NULL; 0 fails none. At exit, after libcrypto
// has released its state, the number of allocations made and of blocks the
// run left allocated are written to the file named by VEXLINK_ALLOC_REPORT.
// VEXLINK_WARM_UP names a PEM file whose certificates and CRLs are read and
// hashed before counting starts, so that the count covers the run itself
// rather than libcrypto's one-time set-up of its tables and providers.
#include "failalloc.h"
#include "vexlink.h"

#include <stdlib.h>

#include <openssl/crypto.h>
#include <openssl/err.h>

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

int main(int argc, char **argv)
{
	const char *at = getenv("VEXLINK_FAIL_AT");
	const char *report = getenv("VEXLINK_ALLOC_REPORT");
	const char *warm = getenv("VEXLINK_WARM_UP");
	// The output buffer is not the run's to free.
	static char out[BUFSIZ];
	int status;
	FILE *f;

	setvbuf(stdout, out, _IOFBF, sizeof(out));
	if (warm)
		warm_up(warm);
	failalloc_fail_nth(at ? strtoul(at, NULL, 10) : 0);
	status = vexlink_main(argc, argv);
	failalloc_disarm();
	fflush(stdout);
	OPENSSL_cleanup();
	if (report && (f = fopen(report, "w")) != NULL) {
		fprintf(f, "%lu %lu\n", failalloc_count(), failalloc_live());
		fclose(f);
	}
	return status;
}
