// SPDX-License-Identifier: GPL-2.0-or-later
// Preloaded into the front end: records each mallopt call as "param value"
// in MALLOPT_RECORD, then passes it on.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

int mallopt(int parameter, int value)
{
	const char *path = getenv("MALLOPT_RECORD");
	FILE *f = path ? fopen(path, "a") : NULL;
	if (f) {
		fprintf(f, "%d %d\n", parameter, value);
		fclose(f);
	}
	int (*next)(int, int) = (int (*)(int, int))dlsym(RTLD_NEXT, "mallopt");
	return next ? next(parameter, value) : 1;
}
