// SPDX-License-Identifier: GPL-2.0-or-later
// Stand-in for a preloaded object: notes its loading in PRELOAD_RECORD and
// exports a marker named by MARKER.
#include <stdio.h>
#include <stdlib.h>

int MARKER = 1;

__attribute__((constructor)) static void note_loading(void)
{
	const char *path = getenv("PRELOAD_RECORD");
	FILE *f = path ? fopen(path, "a") : NULL;
	if (f) {
		fprintf(f, "%s\n", NAME);
		fclose(f);
	}
}
