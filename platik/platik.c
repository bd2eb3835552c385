// SPDX-License-Identifier: GPL-2.0-or-later
#include "platik.h"

#include <stdio.h>
#include <stdlib.h>

#define PLATIK_PATH "/etc/platik"
#define PLATIK_SIZE 256

char *getplatik(void)
{
	FILE *file = fopen(PLATIK_PATH, "r");
	if (!file) {
		fprintf(stderr, "Unable to open %s.\n", PLATIK_PATH);
		return NULL;
	}

	char *name = malloc(PLATIK_SIZE);
	if (name && !fgets(name, PLATIK_SIZE, file)) {
		fprintf(stderr, "Unable to read from %s.\n", PLATIK_PATH);
		free(name);
		name = NULL;
	}
	(void)fclose(file);
	return name;
}
