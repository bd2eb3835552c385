// SPDX-License-Identifier: GPL-2.0-or-later
// Calls getplatik and shows what it returned:
//   probe read       the text between brackets, or "null"
//   probe repeat N   N calls, then the number of descriptors left open
//   probe nomem      one call with the name buffer's allocation failing
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platik.h"

#ifndef QK_SANITIZE
// Only the 256-byte name buffer fails, and only while asked to; the sanitizer
// builds keep their own allocator, so there is no such seam there.
extern void *__libc_malloc(size_t n);
static int probe_fail_name_buffer;

void *malloc(size_t n)
{
	if (probe_fail_name_buffer && n == 256)
		return NULL;
	return __libc_malloc(n);
}
#endif

static int probe_open_descriptors(void)
{
	DIR *dir = opendir("/proc/self/fd");
	int count = 0;
	if (!dir)
		return -1;
	while (readdir(dir))
		count++;
	(void)closedir(dir);
	return count;
}

static void probe_show(const char *name)
{
	if (name)
		printf("[%s]\n", name);
	else
		printf("null\n");
}

int main(int argc, char **argv)
{
	if (argc >= 2 && strcmp(argv[1], "read") == 0) {
		char *name = getplatik();
		probe_show(name);
		free(name);
		return 0;
	}
	if (argc >= 3 && strcmp(argv[1], "repeat") == 0) {
		int before = probe_open_descriptors();
		for (int i = atoi(argv[2]); i > 0; i--)
			free(getplatik());
		printf("%d\n", probe_open_descriptors() - before);
		return 0;
	}
#ifndef QK_SANITIZE
	if (argc >= 2 && strcmp(argv[1], "nomem") == 0) {
		int before = probe_open_descriptors();
		probe_fail_name_buffer = 1;
		char *name = getplatik();
		probe_fail_name_buffer = 0;
		probe_show(name);
		printf("%d\n", probe_open_descriptors() - before);
		return 0;
	}
#endif
	return 99;
}
