// SPDX-License-Identifier: GPL-2.0-or-later
#include "xalloc.h"

#include <error.h>
#include <stdlib.h>
#include <string.h>

#include "frame.h"

void die_memory_exhausted(void)
{
	error(exit_failure, 0, "%s", _("memory exhausted"));
	// error returns only for a status of 0.
	abort();
}

void *checked_malloc(size_t n)
{
	void *p = malloc(n);
	if (!p && n != 0)
		die_memory_exhausted();
	return p;
}

void *checked_realloc(void *p, size_t n)
{
	void *q = realloc(p, n);
	if (!q && n != 0)
		die_memory_exhausted();
	return q;
}

void *checked_memdup(const void *p, size_t n)
{
	void *q = checked_malloc(n);
	// A zero-sized copy may get a null block; there is nothing to copy then.
	if (n)
		memcpy(q, p, n);
	return q;
}

char *checked_strdup(const char *s)
{
	return checked_memdup(s, strlen(s) + 1);
}

char *checked_strndup(const char *s, size_t n)
{
	char *q = strndup(s, n);
	if (!q)
		die_memory_exhausted();
	return q;
}
