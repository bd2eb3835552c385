// SPDX-License-Identifier: GPL-2.0-or-later
// Preloaded into a program under test: every allocation above
// FAILALLOC_ABOVE bytes fails as if memory had run out. The others go to the
// sanitizer's allocator when the program has one, else to the C library's.
#include <errno.h>
#include <stdlib.h>

void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void *__interceptor_malloc(size_t size) __attribute__((weak));
void *__interceptor_calloc(size_t count, size_t size) __attribute__((weak));
void *__interceptor_realloc(void *p, size_t size) __attribute__((weak));

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
	if (too_big(size))
		return NULL;
	return __interceptor_malloc ? __interceptor_malloc(size) : __libc_malloc(size);
}

void *calloc(size_t count, size_t size)
{
	if (size && count > (size_t)-1 / size)
		return NULL;
	if (too_big(count * size))
		return NULL;
	return __interceptor_calloc ? __interceptor_calloc(count, size) : __libc_calloc(count, size);
}

void *realloc(void *p, size_t size)
{
	if (too_big(size))
		return NULL;
	return __interceptor_realloc ? __interceptor_realloc(p, size) : __libc_realloc(p, size);
}
