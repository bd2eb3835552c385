// SPDX-License-Identifier: GPL-2.0-or-later
// Calls getplatik and shows what it returned:
//   probe read       the text between brackets, or "null"
//   probe repeat N   N calls, then the number of descriptors left open
//   probe nomem      one call per allocation it makes, each with that
//                    allocation failing: per call the result, then the
//                    descriptors and blocks it left behind
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "failalloc.h"
#include "platik.h"

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
	if (argc >= 2 && strcmp(argv[1], "nomem") == 0) {
		failalloc_fail_nth(0);
		free(getplatik());
		failalloc_disarm();
		unsigned long total = failalloc_count();
		for (unsigned long n = 1; n <= total; n++) {
			int before = probe_open_descriptors();
			failalloc_fail_nth(n);
			char *name = getplatik();
			failalloc_disarm();
			probe_show(name);
			free(name);
			printf("%d %lu\n", probe_open_descriptors() - before, failalloc_live());
		}
		return 0;
	}
	return 99;
}
