// SPDX-License-Identifier: GPL-2.0-or-later
// Preloaded into a program under test: every allocation above
// FAILALLOC_ABOVE bytes fails as if memory had run out.
#include <errno.h>
#include <stdlib.h>

void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);

static int too_big(size_t size)
{
	const char *limit = getenv("FAILALLOC_ABOVE");

	if (limit && size > strtoul(limit, NULL, 10)) {
		errno = ENOMEM;
		return 1;
	}
	return 0;
}

void *malloc(size_t size)
{
	return too_big(size) ? NULL : __libc_malloc(size);
}

void *calloc(size_t count, size_t size)
{
	if (size && count > (size_t)-1 / size)
		return NULL;
	return too_big(count * size) ? NULL : __libc_calloc(count, size);
}

void *realloc(void *p, size_t size)
{
	return too_big(size) ? NULL : __libc_realloc(p, size);
}
